#pragma once

#include <QMessageBox>
#include <QString>
#include <string>

#include "common/skin/SkinNotifier.h"

namespace dvr::player {

// Shows the player's messages in message boxes: an "Error" caption as an error, any other as
// information, an empty caption as the program's title.
class MessageBoxNotifier final : public skin::SkinNotifier {
public:
    explicit MessageBoxNotifier(QWidget* parent) : m_parent(parent) {}
    void showMessage(const std::string& text, const std::string& caption) override {
        const QString title = caption.empty() ? QStringLiteral("Discoro") : QString::fromStdString(caption);
        if (title.compare(QStringLiteral("error"), Qt::CaseInsensitive) == 0) {
            QMessageBox::critical(m_parent, title, QString::fromStdString(text));
        } else {
            QMessageBox::information(m_parent, title, QString::fromStdString(text));
        }
    }

private:
    QWidget* m_parent;
};

}  // namespace dvr::player
