// Discoro: plays one backup file of the recorder per channel in 1, 4, 9 or 16 panes.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <cstdio>
#include <string>
#include <vector>

#include "common/skin/ProgramFiles.h"
#include "common/skin/ProgramFolder.h"
#include "player/ui/FileHandOff.h"
#include "player/ui/PlayerView.h"
#include "player/ui/RecentFiles.h"
#include "player/ui/SingleInstance.h"

namespace {

constexpr const char* kUsage =
    "Usage: discoro [--home DIR] [FILE]\n"
    "Plays a recorder backup file (ZAV) per channel in 1, 4, 9 or 16 panes.\n"
    "\n"
    "  FILE        the backup file to open (relative to the current folder)\n"
    "  --home DIR  program folder holding res.ini and the skin bitmaps\n"
    "              (default: $DISCORO_HOME, else the folder of the program when it\n"
    "              holds them, else ../share/discoro beside it)\n"
    "  --help      this text\n";

QString stripQuotes(QString text) {
    text.remove(QLatin1Char('"'));
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--help" || arguments[i] == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    std::string error;
    const std::optional<std::string> home = ProgramFolder::takeHomeOption(arguments, &error);
    if (!error.empty()) {
        std::fprintf(stderr, "discoro: %s\n", error.c_str());
        return 2;
    }
    std::vector<std::string> files;
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i].size() > 1 && arguments[i][0] == '-') {
            std::fprintf(stderr, "discoro: unknown option %s (see --help)\n", arguments[i].c_str());
            return 2;
        }
        files.push_back(arguments[i]);
    }
    if (files.size() > 1) {
        std::fprintf(stderr, "discoro: one file at a time (see --help)\n");
        return 2;
    }
    // The file is taken relative to the folder the user started from, before anything else
    // can change it.
    QString file;
    if (!files.empty()) {
        file = stripQuotes(QString::fromLocal8Bit(files.front().c_str()));
        if (!file.isEmpty()) {
            file = QDir::current().absoluteFilePath(file);
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Discoro"));

    dvr::player::SingleInstance instance(QStringLiteral("Discoro"));
    if (!instance.acquire()) {
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
    options.programFolder = ProgramFolder::resolve(home, ProgramFolder::kPlayer);
    options.userFolder = ProgramFiles::defaultUserFolder(ProgramFolder::kPlayer.userName);
    options.settingsPath = dvr::player::RecentFiles::defaultSettingsPath();
    dvr::player::PlayerView view(options);
    if (!view.created()) {
        return 1;
    }
    // Files opened from the desktop while this player runs arrive here.
    dvr::player::FileHandOff handOff(instance.lockPath());
    QObject::connect(&handOff, &dvr::player::FileHandOff::fileReceived, &view, [&view](const QString& path) {
        view.raise();
        view.activateWindow();
        view.openFile(path);
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
