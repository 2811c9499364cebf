#pragma once

#include <QDialog>

namespace dvr::skin {
class LanguageFile;
}
class QLabel;
class QPushButton;

namespace dvr::live {

// The About dialog: titled with the program's name from the language file; its version line reads the
// title, a blank and the version ("Ver ..."); one OK button.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    AboutDialog(const skin::LanguageFile& language, QWidget* parent = nullptr);

    QString versionLine() const;
    QString okCaption() const;

    // The version line's own text before the title is put in front of it.
    static QString builtInVersionLine();

private:
    QLabel* m_versionLine = nullptr;
    QPushButton* m_ok = nullptr;
};

}  // namespace dvr::live
