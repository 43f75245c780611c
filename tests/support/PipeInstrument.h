#pragma once
// The simulated instrument served on named pipes the way its kernel driver serves it, for the
// real Windows calls of the driver-pipe back end: \\.\pipe\harmoload-test-pid_8e00-<n> opens as
// the device, its sub-path PIPE01 takes the host's frames (one message per write) and PIPE00
// gives the instrument's answers. Every connection is served by a thread of its own, and
// fresh instances of each pipe always wait for the next opens. table() finds this device as the
// one interface of the driver's class and does the file calls for real.

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "platform/Unicode.h"
#include "sim/SimulatedInstrument.h"
#include "sim/SimulatorOptions.h"
#include "usb/LibusbIdentity.h"
#include "usb/win32/SystemDriverPipes.h"

namespace harmoload::testing {

class PipeInstrument {
  public:
    // answers false: frames are taken and never answered, as by a driver that never completes
    // a read.
    explicit PipeInstrument(bool answers = true, const sim::SimulatorOptions& options = {})
        : answers_(answers),
          instrument_(clock_, options.config, options.faults),
          path_(NextPath()),
          table_(path_),
          stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        listeners_.emplace_back([this] { listen(path_, false, &PipeInstrument::holdDevice); });
        listeners_.emplace_back(
            [this] { listen(path_ + "\\PIPE01", true, &PipeInstrument::takeFrames); });
        listeners_.emplace_back(
            [this] { listen(path_ + "\\PIPE00", false, &PipeInstrument::giveAnswers); });
        // Each listener has its first instance up before the test opens anything.
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return listening_ == 3; });
    }
    ~PipeInstrument() {
        SetEvent(stop_);
        changed_.notify_all();
        for (std::thread& listener : listeners_) {
            listener.join();
        }
        for (std::thread& connection : connections_) {
            connection.join();
        }
        CloseHandle(stop_);
    }
    PipeInstrument(const PipeInstrument&) = delete;
    PipeInstrument& operator=(const PipeInstrument&) = delete;

    const std::string& devicePath() const { return path_; }
    DriverPipeApi& table() { return table_; }
    // Read it once the host is done: the pipe threads change it while frames arrive.
    sim::SimulatedInstrument& instrument() { return instrument_; }
    int framesTaken() const { return framesTaken_; }

  private:
    // The real file calls, with a class set that holds this device alone.
    class Table final : public Win32DriverPipes {
      public:
        explicit Table(const std::string& path) : path_(Utf8ToUtf16(path)) {}
        DeviceSet classDevices(const InterfaceClass&) override { return this; }
        MemberLookup enumInterface(DeviceSet, const InterfaceClass&, uint32_t index) override {
            return index == 0 ? MemberLookup::Found : MemberLookup::NoMoreItems;
        }
        std::u16string interfacePath(DeviceSet, const InterfaceClass&, uint32_t index) override {
            return index == 0 ? path_ : std::u16string();
        }
        void destroySet(DeviceSet) override {}

      private:
        std::u16string path_;
    };

    using Serve = void (PipeInstrument::*)(HANDLE pipe);
    static constexpr size_t kWaitingInstances = 3;

    static std::string NextPath() {
        static std::atomic<int> next{0};
        // The instrument's mark in the path, as in a USB device path.
        return "\\\\.\\pipe\\harmoload-test-pid_8e00-" + std::to_string(GetCurrentProcessId()) +
               "-" + std::to_string(++next);
    }

    // Waits for an overlapped operation or the stop; true when it completed well.
    bool await(HANDLE pipe, OVERLAPPED& overlapped, BOOL started, DWORD* moved) {
        if (!started && GetLastError() != ERROR_IO_PENDING) {
            return GetLastError() == ERROR_PIPE_CONNECTED;
        }
        const HANDLE events[2] = {overlapped.hEvent, stop_};
        if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
            CancelIoEx(pipe, &overlapped);
            GetOverlappedResult(pipe, &overlapped, moved, TRUE);
            return false;
        }
        return GetOverlappedResult(pipe, &overlapped, moved, FALSE) != FALSE;
    }

    HANDLE create(const std::string& name, bool messages) {
        const DWORD mode = messages ? PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE : PIPE_TYPE_BYTE;
        return CreateNamedPipeW(reinterpret_cast<const wchar_t*>(Utf8ToUtf16(name).c_str()),
                                PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, mode | PIPE_WAIT,
                                PIPE_UNLIMITED_INSTANCES, 1 << 16, 1 << 16, 0, nullptr);
    }

    // A few instances always wait, so that the host may close and open again at once (the
    // flash engine does so before each step): a fresh instance takes a host even before its
    // connection is asked for.
    void listen(const std::string& name, bool messages, Serve serve) {
        std::deque<HANDLE> waiting;
        const auto refill = [&] {
            while (waiting.size() < kWaitingInstances) {
                HANDLE pipe = create(name, messages);
                if (pipe == INVALID_HANDLE_VALUE) {
                    return false;
                }
                waiting.push_back(pipe);
            }
            return true;
        };
        const bool ready = refill();
        {
            std::lock_guard lock(mutex_);
            ++listening_;
        }
        changed_.notify_all();
        while (ready) {
            OVERLAPPED overlapped{};
            overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            DWORD unused = 0;
            HANDLE next = waiting.front();
            const bool connected =
                await(next, overlapped, ConnectNamedPipe(next, &overlapped), &unused);
            CloseHandle(overlapped.hEvent);
            if (WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) {
                break;
            }
            if (!connected) {
                // A host that came and went before the connection was taken: wait again.
                DisconnectNamedPipe(next);
                continue;
            }
            waiting.pop_front();
            if (!refill()) {
                break;
            }
            std::lock_guard lock(mutex_);
            connections_.emplace_back([this, next, serve] {
                (this->*serve)(next);
                DisconnectNamedPipe(next);
                CloseHandle(next);
            });
        }
        for (HANDLE pipe : waiting) {
            CloseHandle(pipe);
        }
    }

    // The device itself carries nothing: its connection lasts until the host closes it.
    void holdDevice(HANDLE pipe) {
        uint8_t byte = 0;
        read(pipe, &byte, 1, nullptr);
    }

    bool read(HANDLE pipe, uint8_t* buffer, DWORD size, DWORD* moved) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        DWORD got = 0;
        const bool ok =
            await(pipe, overlapped, ReadFile(pipe, buffer, size, nullptr, &overlapped), &got);
        CloseHandle(overlapped.hEvent);
        if (moved != nullptr) {
            *moved = got;
        }
        return ok;
    }

    // Each message is one host frame (or a piece of data) for the instrument; its answers wait
    // for PIPE00.
    void takeFrames(HANDLE pipe) {
        std::vector<uint8_t> frame(1 << 16);
        std::vector<uint8_t> answer(1 << 16);
        DWORD size = 0;
        while (read(pipe, frame.data(), static_cast<DWORD>(frame.size()), &size)) {
            std::lock_guard lock(mutex_);
            ++framesTaken_;
            if (!answers_) {
                continue;
            }
            instrument_.bulkWrite(usb::kOutEndpoint, frame.data(), static_cast<int>(size), 0);
            for (;;) {
                const int got = instrument_.bulkRead(usb::kInEndpoint, answer.data(),
                                                     static_cast<int>(answer.size()), 0);
                if (got < 0) {
                    break;
                }
                pending_.emplace_back(answer.begin(), answer.begin() + got);
            }
            changed_.notify_all();
        }
    }

    // Answers go out in order, each in one write; an answer that could not go waits for the
    // next connection.
    void giveAnswers(HANDLE pipe) {
        for (;;) {
            std::vector<uint8_t> next;
            {
                std::unique_lock lock(mutex_);
                changed_.wait_for(lock, std::chrono::milliseconds(20), [&] {
                    return !pending_.empty() || WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0;
                });
                if (WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) {
                    return;
                }
                if (pending_.empty()) {
                    DWORD available = 0;
                    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
                        return;  // the host closed it
                    }
                    continue;
                }
                next = std::move(pending_.front());
                pending_.pop_front();
            }
            OVERLAPPED overlapped{};
            overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            DWORD moved = 0;
            const bool ok = await(
                pipe, overlapped,
                WriteFile(pipe, next.data(), static_cast<DWORD>(next.size()), nullptr, &overlapped),
                &moved);
            CloseHandle(overlapped.hEvent);
            if (!ok) {
                std::lock_guard lock(mutex_);
                pending_.push_front(std::move(next));
                return;
            }
        }
    }

    const bool answers_;
    SystemClock clock_;
    sim::SimulatedInstrument instrument_;
    const std::string path_;
    Table table_;
    HANDLE stop_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int listening_ = 0;
    std::atomic<int> framesTaken_{0};
    std::deque<std::vector<uint8_t>> pending_;
    std::vector<std::thread> listeners_;
    std::list<std::thread> connections_;
};

}  // namespace harmoload::testing
