#pragma once

#include <string>
#include <vector>

namespace dvr::skin {

// Shows a message box to the user. The skin readers report through it so that tests can read the
// messages instead of blocking on a dialog. An empty caption means the program's own title.
class SkinNotifier {
public:
    virtual ~SkinNotifier() = default;
    virtual void showMessage(const std::string& text, const std::string& caption) = 0;
};

// Keeps the messages instead of showing them (tests, command-line tools).
class RecordingSkinNotifier : public SkinNotifier {
public:
    struct Message {
        std::string text;
        std::string caption;
    };
    void showMessage(const std::string& text, const std::string& caption) override {
        m_messages.push_back({text, caption});
    }
    const std::vector<Message>& messages() const { return m_messages; }

private:
    std::vector<Message> m_messages;
};

}  // namespace dvr::skin
