// Discoro: plays one backup file of the recorder per channel in 1, 4, 9 or 16 panes.
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QUrl>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "common/skin/ProgramFiles.h"
#include "common/skin/ProgramFolder.h"
#include "common/skin/widgets/SingleInstanceLock.h"
#include "player/view/PlayerCommandLine.h"
#include "player/view/RecentFiles.h"
#include "player/widgets/FileHandOff.h"
#include "player/widgets/PlayerView.h"

int main(int argc, char** argv) {
    const dvr::player::PlayerCommandLine line =
        dvr::player::parsePlayerCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (const int status = dvr::player::answerPlayerCommandLine(line, std::cout, std::cerr); status >= 0) {
        return status;
    }
    // The file is taken relative to the folder the user started from, before anything else
    // can change it.
    QString file;
    if (line.file) {
        file = QDir::current().absoluteFilePath(QString::fromLocal8Bit(line.file->c_str()));
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Discoro"));

    dvr::skin::SingleInstanceLock instance(QStringLiteral("Discoro"));
    if (!instance.acquire() && !instance.folderError().isEmpty()) {
        const QString message =
            QStringLiteral("No private folder for the program's lock: ") + instance.folderError();
        std::fprintf(stderr, "discoro: %s\n", message.toLocal8Bit().constData());
        QMessageBox::critical(nullptr, QStringLiteral("ERROR"), message);
        return 1;
    }
    if (!instance.isHeld()) {
        // A file opened from the desktop while the player runs goes to the running player.
        if (!file.isEmpty() && dvr::player::FileHandOff::send(instance.lockPath(), file, 5000)) {
            return 0;
        }
        std::fprintf(stderr, "discoro: Another instance of this program exists\n");
        QMessageBox::critical(nullptr, QStringLiteral("ERROR"),
                              QStringLiteral("Another instance of this program exists"));
        return 1;
    }

    dvr::player::PlayerView::Options options;
    options.programFolder = dvr::skin::ProgramFolder::resolve(line.home, dvr::skin::ProgramFolder::kPlayer);
    options.userFolder =
        dvr::skin::ProgramFiles::defaultUserFolder(dvr::skin::ProgramFolder::kPlayer.userName);
    options.settingsPath = dvr::player::RecentFiles::defaultSettingsPath();
    options.openFolder = [](const std::string& folder) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
    };
    dvr::player::PlayerView view(options);
    if (!view.created()) {
        return 1;
    }
    // Files opened from the desktop while this player runs arrive here.
    dvr::player::FileHandOff handOff(instance.lockPath());
    QObject::connect(&handOff, &dvr::player::FileHandOff::fileReceived, &view, [&view](const QString& path) {
        view.raise();
        view.activateWindow();
        view.openHandedFile(path);
    });
    if (!handOff.listen()) {
        std::fprintf(stderr, "discoro: files opened while it runs cannot reach this player\n");
    }
    view.show();
    view.activateWindow();
    view.setFocus();
    if (!file.isEmpty()) {
        view.openFile(file);
    }
    return QApplication::exec();
}
