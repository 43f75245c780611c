#pragma once
// Where the runs of a service bench write: every run has its own streams, whose lines reach the
// shared streams whole and one at a time, tagged with the run's device. A JSON event gains
// "device" right after "event"; any other line starts with "[ID] ". On a terminal that can move
// its cursor, each instrument keeps one live line of output, redrawn in place, and the
// error stream's lines scroll above them.

#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

namespace harmoload {

enum class BenchLines {
    Json,      // the output's lines are JSON events
    Prefixed,  // every line, tagged, one after the other
    Live,      // one live line per instrument on the output
};

class BenchOutput {
  public:
    // devices: the instruments' ids, in the order their live lines are drawn.
    BenchOutput(std::ostream& out, std::ostream& err, BenchLines mode,
                const std::vector<std::string>& devices);
    BenchOutput(const BenchOutput&) = delete;
    BenchOutput& operator=(const BenchOutput&) = delete;

    // Writes the line (without its line break) for the device, to the error stream or the
    // output, and flushes.
    void writeLine(const std::string& device, const std::string& line, bool error);

  private:
    void eraseLiveLines();
    void drawLiveLines();

    std::mutex mutex_;
    std::ostream& out_;
    std::ostream& err_;
    BenchLines mode_;
    std::vector<std::pair<std::string, std::string>> live_;  // device, its last line
    size_t drawn_ = 0;                                       // live lines on the screen
};

// One run's output or error stream into a BenchOutput; a line goes when it ends, what is left
// at destruction.
class DeviceLineStream final : public std::ostream {
  public:
    DeviceLineStream(BenchOutput& output, std::string device, bool error);
    ~DeviceLineStream() override;

  private:
    class Buffer final : public std::streambuf {
      public:
        Buffer(BenchOutput& output, std::string device, bool error)
            : output_(output), device_(std::move(device)), error_(error) {}
        void finish();

      protected:
        int_type overflow(int_type c) override;

      private:
        BenchOutput& output_;
        std::string device_;
        bool error_;
        std::string line_;
    };
    Buffer buffer_;
};

}  // namespace harmoload
