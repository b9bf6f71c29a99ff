// Answers the plug-in's message boxes as a user would: a thread waits for each box with the
// application's title, records its text and presses OK.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace host {

class MessageBoxWatcher {
public:
    explicit MessageBoxWatcher(std::string title);
    ~MessageBoxWatcher();
    std::vector<std::string> texts();

private:
    void watch();

    std::string title_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> texts_;
    std::thread thread_;
};

}  // namespace host
