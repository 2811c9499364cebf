#pragma once

#include <string>
#include <vector>

#include "common/skin/SkinNotifier.h"

namespace dvr::live {

// Message boxes and the default beep of the viewer, behind an interface so that tests read the
// messages instead of blocking on a dialog.
class ViewerNotifier : public skin::SkinNotifier {
public:
    // A message box with the error icon.
    virtual void showError(const std::string& text, const std::string& caption) = 0;
    virtual void beep() = 0;
};

// Shows real message boxes and sounds the platform beep.
class DialogViewerNotifier : public ViewerNotifier {
public:
    void showMessage(const std::string& text, const std::string& caption) override;
    void showError(const std::string& text, const std::string& caption) override;
    void beep() override;
};

// Keeps the messages and counts the beeps.
class RecordingViewerNotifier : public ViewerNotifier {
public:
    struct Message {
        std::string text;
        std::string caption;
        bool error = false;
    };
    void showMessage(const std::string& text, const std::string& caption) override {
        m_messages.push_back({text, caption, false});
    }
    void showError(const std::string& text, const std::string& caption) override {
        m_messages.push_back({text, caption, true});
    }
    void beep() override { ++m_beeps; }

    const std::vector<Message>& messages() const { return m_messages; }
    int beeps() const { return m_beeps; }

private:
    std::vector<Message> m_messages;
    int m_beeps = 0;
};

}  // namespace dvr::live
