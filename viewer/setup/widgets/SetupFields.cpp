#include "viewer/setup/widgets/SetupFields.h"

#include <QFileDialog>
#include <QMessageBox>

#include <algorithm>

#include "common/skin/LanguageFile.h"
#include "viewer/setup/SetupController.h"
#include "viewer/setup/widgets/SetupDialog.h"

namespace dvr::setup {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string s(const QString& text) {
    return text.toStdString();
}

QLineEdit* lineEdit(QWidget* parent, const char* objectName, int maxLength) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(objectName));
    edit->setMaxLength(maxLength);
    return edit;
}

QComboBox* comboBox(QWidget* parent, const char* objectName, const std::vector<std::string>& items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(objectName));
    for (const std::string& item : items) {
        box->addItem(q(item));
    }
    return box;
}

void preparePasswordField(QLineEdit* field, const std::string& stored, bool* edited) {
    field->setEchoMode(QLineEdit::Password);
    field->setMaxLength(static_cast<int>(std::max(SetupController::kPasswordFieldChars, stored.size())));
    field->setText(q(stored));
    *edited = false;
    QObject::connect(field, &QLineEdit::textEdited, field, [field, edited] {
        if (!*edited) {
            *edited = true;
            field->setMaxLength(static_cast<int>(SetupController::kPasswordFieldChars));
        }
    });
}

void MessageBoxNotifier::showMessage(const std::string& text, const std::string& caption) {
    QMessageBox::warning(m_parent, caption.empty() ? m_parent->windowTitle() : q(caption), q(text));
}

std::optional<std::string> DialogFolderChooser::chooseFolder(QWidget* parent,
                                                             const std::string& startFolder) {
    const QString folder = QFileDialog::getExistingDirectory(parent, QString(), q(startFolder));
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return s(folder);
}

}  // namespace dvr::setup
