// Test helpers of the dataset suites: a message-box handler that records
// what the components show, and reply texts for scripted servers.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "host/forms.h"

namespace orv::testing {

// Installs itself as the message-box handler for its lifetime. Boxes may
// come from the reader thread, so the log is locked.
class MessageLog {
 public:
  struct Box {
    std::string text, caption;
    unsigned flags;
  };

  MessageLog()
      : previous_(SetMessageBoxHandler([this](const std::string& text, const std::string& caption,
                                              unsigned flags) {
          std::lock_guard guard(mu_);
          boxes_.push_back({text, caption, flags});
          return IDOK;
        })) {}
  ~MessageLog() { SetMessageBoxHandler(previous_); }
  MessageLog(const MessageLog&) = delete;
  MessageLog& operator=(const MessageLog&) = delete;

  std::vector<Box> Boxes() {
    std::lock_guard guard(mu_);
    return boxes_;
  }
  size_t Count() {
    std::lock_guard guard(mu_);
    return boxes_.size();
  }
  // The texts of the boxes shown, joined by "|".
  std::string Texts() {
    std::lock_guard guard(mu_);
    std::string all;
    for (const Box& b : boxes_) all += (all.empty() ? "" : "|") + b.text;
    return all;
  }

 private:
  TMessageBoxHandler previous_;
  std::mutex mu_;
  std::vector<Box> boxes_;  // protected by mu_
};

// One column description of a result-set reply.
inline std::string Column(int type, const std::string& name, int length) {
  return std::to_string(type) + ";" + name + ";" + std::to_string(length) + ";0;";
}

// One value of a row.
inline std::string Value(const std::string& data) {
  return std::to_string(data.size()) + ";" + data + ";";
}

}  // namespace orv::testing
