#include "viewer/live/widgets/AboutDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/skin/LanguageFile.h"

namespace dvr::live {

AboutDialog::AboutDialog(const skin::LanguageFile& language, QWidget* parent) : QDialog(parent) {
    const QString title = QString::fromStdString(language.text("MAIN", "Vistrel"));
    setWindowTitle(title);
    setObjectName(QStringLiteral("aboutDialog"));

    const QString own = builtInVersionLine();
    const qsizetype versionAt = own.indexOf(QStringLiteral("Ver"));
    m_versionLine =
        new QLabel(title + QLatin1Char(' ') + (versionAt >= 0 ? own.mid(versionAt) : QString()), this);
    m_ok = new QPushButton(QString::fromStdString(language.text("CONFIG_MAIN", "OK")), this);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_versionLine);
    layout->addWidget(m_ok, 0, Qt::AlignHCenter);
}

QString AboutDialog::versionLine() const {
    return m_versionLine->text();
}

QString AboutDialog::okCaption() const {
    return m_ok->text();
}

QString AboutDialog::builtInVersionLine() {
    return QStringLiteral("Vistrel Version " DVR_VERSION_TEXT);
}

}  // namespace dvr::live
