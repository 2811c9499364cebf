#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QString>
#include <QWidget>

#include <string>
#include <vector>

#include "common/skin/SkinNotifier.h"

namespace dvr::setup {

// Texts between the setup's values and its fields.
QString q(const std::string& text);
std::string s(const QString& text);

// A named line edit taking at most `maxLength` characters.
QLineEdit* lineEdit(QWidget* parent, const char* objectName, int maxLength);
// A named list box holding `items`.
QComboBox* comboBox(QWidget* parent, const char* objectName, const std::vector<std::string>& items);
// A password field that shows a stored password whole, however long, and takes at most
// `SetupController::kPasswordFieldChars` characters once the user types a new one; `edited` turns true
// at the first edit.
void preparePasswordField(QLineEdit* field, const std::string& stored, bool* edited);

// The setup's message boxes, over `parent` (its title when a message has no caption).
class MessageBoxNotifier : public skin::SkinNotifier {
public:
    explicit MessageBoxNotifier(QWidget* parent) : m_parent(parent) {}
    void showMessage(const std::string& text, const std::string& caption) override;

private:
    QWidget* m_parent;
};

}  // namespace dvr::setup
