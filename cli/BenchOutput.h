#pragma once
// Where the runs of a service bench write: every run has its own streams, whose lines reach the
// shared stream whole and one at a time, tagged with the run's device. A JSON event gains
// "device" right after "event"; any other line starts with "[ID] ".

#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

namespace harmoload {

class BenchOutput {
  public:
    // json: the lines are JSON events.
    BenchOutput(std::ostream& out, bool json) : out_(out), json_(json) {}
    BenchOutput(const BenchOutput&) = delete;
    BenchOutput& operator=(const BenchOutput&) = delete;

    // Writes the line (without its line break) and flushes.
    void writeLine(const std::string& device, const std::string& line);

  private:
    std::mutex mutex_;
    std::ostream& out_;
    bool json_;
};

// One run's stream into a BenchOutput; a line goes when it ends, what is left at destruction.
class DeviceLineStream final : public std::ostream {
  public:
    DeviceLineStream(BenchOutput& output, std::string device);
    ~DeviceLineStream() override;

  private:
    class Buffer final : public std::streambuf {
      public:
        Buffer(BenchOutput& output, std::string device)
            : output_(output), device_(std::move(device)) {}
        void finish();

      protected:
        int_type overflow(int_type c) override;

      private:
        BenchOutput& output_;
        std::string device_;
        std::string line_;
    };
    Buffer buffer_;
};

}  // namespace harmoload
