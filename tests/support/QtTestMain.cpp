// The main() of every offscreen Qt test program: one QApplication for the whole run, and nothing of the
// user's touched. The runtime, config, data and home folders point into a folder of this run only (the
// single-instance lock, the settings, the signing key and the recent-file list are never the user's), the
// windows go to the offscreen platform and the sound to SDL's dummy driver whatever the caller's
// environment says, and a VISTREL_HOME of the caller's does not move the program folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

int main(int argc, char** argv) {
    QTemporaryDir scratch;
    for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "HOME"}) {
        const QString path = scratch.filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        // The runtime folder must be private to its owner, or Qt refuses it.
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        setenv(name, path.toLocal8Bit().constData(), 1);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("VISTREL_HOME");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
