// The default skins in the program folder: every key the programs read
// resolves to an existing bitmap or a sensible position.

#include "common/skin/LanguageFile.h"
#include "common/skin/PlayerSkinReader.h"
#include "common/skin/SkinReader.h"
#include "common/skin/widgets/PlayerToolTips.h"
#include "player/backup/BackupSkinKeys.h"
#include "player/edit/EditSkinKeys.h"
#include "player/view/PlayerSkinKeys.h"
#include "viewer/live/LiveSkinKeys.h"
#include "viewer/playback/PlaybackSkinKeys.h"

#include <QFile>
#include <QImage>
#include <QRect>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace dvr::skin;

using dvr::skin::PlayerToolTips;
namespace backup = dvr::player::backup;
namespace edit = dvr::player::edit;

namespace {

// The program folder holding the built skins: DVR_BIN_DIR when set, else the
// build's own program folder.
std::string binDir() {
    const char* dir = std::getenv("DVR_BIN_DIR");
    if (dir && *dir)
        return dir;
#ifdef DVR_TEST_BIN_DIR
    return DVR_TEST_BIN_DIR;
#else
    return "";
#endif
}

QRect q(const SkinRect& r) {
    return QRect(r.left, r.top, r.width(), r.height());
}

struct Key {
    std::string section;
    std::string key;
};

void append(std::vector<Key>& to, const std::string& section, std::initializer_list<const char*> keys) {
    for (const char* k : keys)
        to.push_back({section, k});
}

class DefaultSkins : public ::testing::Test {
protected:
    void SetUp() override {
        if (binDir().empty())
            GTEST_SKIP() << "no program folder: set DVR_BIN_DIR";
    }

    // The bitmap loads and, for a button, has the size of its place.
    static void expectBitmap(const std::optional<std::string>& path, const std::string& what,
                             QSize size = {}) {
        ASSERT_TRUE(path.has_value()) << what << " names no bitmap";
        const QImage image(QString::fromStdString(*path));
        EXPECT_FALSE(image.isNull()) << what << ": " << *path;
        if (size.isValid() && !image.isNull()) {
            EXPECT_EQ(image.size(), size) << what;
        }
    }
};

TEST_F(DefaultSkins, VistrelBitmapsAndButtonsResolve) {
    RecordingSkinNotifier notifier;
    SkinReader reader(binDir(), &notifier);
    ASSERT_TRUE(reader.open(binDir() + "/ini/res.ini"));
    const QRect live = q(reader.readPosition("MAIN POS", "POS_LIVE_SKIN"));
    const QRect playback = q(reader.readPosition("PB MAIN POS", "POS_PLAYBACK_SKIN"));
    expectBitmap(reader.readBitmapPath("MAIN", "LIVE_SKIN"), "LIVE_SKIN", live.size());
    expectBitmap(reader.readBitmapPath("MAIN", "PLAYBACK_SKIN"), "PLAYBACK_SKIN", playback.size());
    expectBitmap(reader.readBitmapPath("MAIN", "SLIDERUP"), "SLIDERUP",
                 q(reader.readPosition("PB MAIN POS", "POS_SLIDE")).size());
    expectBitmap(reader.readBitmapPath("MAIN", "SLIDERDN"), "SLIDERDN");

    for (const auto* list : {&dvr::live::skinkeys::buttons(), &dvr::playback::skinkeys::buttons()}) {
        const QRect window = list == &dvr::live::skinkeys::buttons() ? live : playback;
        std::vector<QRect> placed;
        for (const SkinButtonKeys& b : *list) {
            const QRect place = q(reader.readPosition(b.positionSection, b.positionKey));
            EXPECT_FALSE(place.isEmpty()) << b.positionKey;
            EXPECT_TRUE(window.contains(place)) << b.positionKey;
            for (const QRect& other : placed)
                EXPECT_FALSE(other.intersects(place)) << b.positionKey << " overlaps another button";
            placed.push_back(place);
            const ButtonImageFiles files = reader.readButtonImages(b.section);
            expectBitmap(files.normal, b.section + "/NORMAL", place.size());
            expectBitmap(files.down, b.section + "/DOWN", place.size());
            expectBitmap(files.disable, b.section + "/DISABLE", place.size());
            if (b.load == ButtonLoad::Ptz)
                expectBitmap(files.dnCheck, b.section + "/DNCHECK", place.size());
        }
    }
}

TEST_F(DefaultSkins, VistrelPositionsFitTheirWindows) {
    RecordingSkinNotifier notifier;
    SkinReader reader(binDir(), &notifier);
    ASSERT_TRUE(reader.open(binDir() + "/ini/res.ini"));
    EXPECT_EQ(q(reader.readPosition("MAIN POS", "POS_LIVE_SKIN")), QRect(0, 0, 800, 600));
    EXPECT_EQ(q(reader.readPosition("PB MAIN POS", "POS_PLAYBACK_SKIN")), QRect(0, 0, 1024, 768));
    const QRect overlay = q(reader.readPosition("MAIN POS", "POS_OVERLAY_TERM"));
    EXPECT_EQ(overlay.size(), QSize(720, 480));
    const QRect pbOverlay = q(reader.readPosition("PB MAIN POS", "POS_PB_OVERLAY_TERM"));
    EXPECT_EQ(pbOverlay.size(), QSize(720, 480));
    EXPECT_LT(pbOverlay.right(), 840) << "the picture area lies left of the playback logo";

    for (const SkinKey& k : dvr::live::skinkeys::kAreas) {
        const QRect r = q(reader.readPosition(k.section, k.key));
        EXPECT_FALSE(r.isEmpty()) << k.key;
        EXPECT_TRUE(QRect(0, 0, 800, 600).contains(r)) << k.key;
    }
    for (const SkinKey& k : dvr::playback::skinkeys::kAreas) {
        const QRect r = q(reader.readPosition(k.section, k.key));
        EXPECT_FALSE(r.isEmpty()) << k.key;
        EXPECT_TRUE(QRect(0, 0, 1024, 768).contains(r)) << k.key;
        const std::string key = k.key;
        if (key != dvr::playback::skinkeys::kWindow.key && key != dvr::playback::skinkeys::kPictureArea.key) {
            EXPECT_FALSE(r.intersects(pbOverlay)) << k.key << " covers the picture";
        }
    }
    EXPECT_EQ(q(reader.readPosition("PB MAIN POS", "POS_SLIDE")).width(), 578 + 14);

    // The About double-click area of the live window holds no button.
    const QRect about(QPoint(0, 564), QPoint(143, 599));
    for (const SkinButtonKeys& b : dvr::live::skinkeys::buttons()) {
        EXPECT_FALSE(q(reader.readPosition(b.positionSection, b.positionKey)).intersects(about))
            << b.positionKey;
        EXPECT_FALSE(q(reader.readPosition(b.positionSection, b.positionKey)).intersects(overlay))
            << b.positionKey;
    }
}

TEST_F(DefaultSkins, VistrelLanguageFilesSwitchTheTexts) {
    const LanguageFile english(binDir());
    EXPECT_EQ(english.text("STATUS_STRING", "START TIME"), "START TIME");
    EXPECT_EQ(english.errorMessage(19), "Another instance of this program exists");
    EXPECT_EQ(english.text("CONFIG_MAIN", "Cancel"), "Cancel");

    // German: the same keys give German texts once lang_de.ini is the language file.
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("ini")));
    ASSERT_TRUE(QFile::copy(QString::fromStdString(binDir() + "/ini/lang_de.ini"),
                            home.filePath(QStringLiteral("ini/lang.ini"))));
    const LanguageFile german(home.path().toStdString());
    EXPECT_EQ(german.text("STATUS_STRING", "START TIME"), "STARTZEIT");
    EXPECT_EQ(german.text("CONFIG_MAIN", "Cancel"), "Abbrechen");
    EXPECT_EQ(german.text("STATUS_STRING", "INVALID DATE"), "UNG\xC3\x9CLTIGES DATUM");
    EXPECT_EQ(german.text("STATUS_STRING", "NOT A KEY"), "NOT A KEY") << "missing keys fall back to English";
}

// Player -------------------------------------------------------------------

TEST_F(DefaultSkins, DiscoroBitmapsAndPositionsResolve) {
    RecordingSkinNotifier notifier;
    PlayerSkinReader reader(binDir(), &notifier);
    ASSERT_TRUE(reader.fileFound());
    const auto frame = reader.readMainFramePosition();
    ASSERT_TRUE(frame.has_value());
    const QRect window = q(*frame);
    const QRect palWindow(0, 0, window.width(), window.height() + 96);

    expectBitmap(reader.readBitmapPath("MAIN", "NTSKIN"), "NTSKIN", window.size());
    expectBitmap(reader.readBitmapPath("MAIN", "PALSKIN"), "PALSKIN", palWindow.size());
    for (const char* key : {"LOGO", "OVERLAY", "AUDIO"}) {
        const std::string posKey = std::string("POS_") + key;
        expectBitmap(reader.readBitmapPath("MAIN", key), key,
                     q(reader.readPosition("MAIN POS", posKey)).size());
    }
    for (const char* key : {"TIME", "NAVIGATION", "SLIDERDN"})
        expectBitmap(reader.readBitmapPath("MAIN", key), key);
    const QRect slide = q(reader.readPosition("MAIN POS", "POS_SLIDE"));
    EXPECT_EQ(slide.width(), 710 + 18) << "the player's slider values run 0..710";
    QImage track(QString::fromStdString(reader.readBitmapPath("MAIN", "SLIDERUP").value_or("")));
    EXPECT_GE(track.width(), 8);
    EXPECT_GE(track.height(), 8);

    const QRect term = q(reader.readPosition("MAIN POS", "POS_OVERLAY_TERM"));
    const QRect ntscPicture(term.topLeft(), QSize(720, 480));
    const QRect palPicture(term.topLeft(), QSize(720, 576));
    EXPECT_TRUE(window.contains(ntscPicture));
    EXPECT_TRUE(palWindow.contains(palPicture));

    // The places of the window's areas and texts, then of its buttons and state indicators as the window
    // makes them.
    std::vector<Key> positions;
    append(positions, "MAIN POS", {"POS_LOGO", "POS_AUDIO", "POS_SLIDE", "POS_SPEED_VAL", "POS_DELAY_VAL"});
    append(positions, "CH POS", {"POS_PAGE_VAL"});
    append(
        positions, "STSTEM TIME POS",
        {"POS_SYS_HOUR", "POS_SYS_COLON1", "POS_SYS_MIN", "POS_SYS_COLON2", "POS_SYS_SEC", "POS_SYS_AMPM"});
    append(positions, "TIME INFO POS",
           {"POS_S_TIME_TEXT", "POS_S_DATE", "POS_S_TIME", "POS_E_TIME_TEXT", "POS_E_DATE", "POS_E_TIME",
            "POS_CUR_PLAY_TIME"});
    for (const auto* table : {&dvr::player::skinkeys::buttons(), &dvr::player::skinkeys::stateIndicators()})
        for (const SkinButtonKeys& k : *table)
            positions.push_back({k.positionSection, k.positionKey});
    for (const Key& k : positions) {
        // A missing key would read as the 20 x 10 default at the origin.
        const QRect r = q(reader.readPosition(k.section, k.key));
        EXPECT_NE(r, QRect(0, 0, 20, 10)) << k.key;
        EXPECT_TRUE(window.contains(r)) << k.key;
        EXPECT_FALSE(r.intersects(palPicture)) << k.key << " lies over the picture area";
    }

    // Backup window: placed inside the view by its offset from the window height.
    const QRect backupWin = q(reader.readPosition("MAIN POS", "POS_BACKUP_WIN"));
    const QRect placed(backupWin.left(), backupWin.top() - window.height(), backupWin.width(),
                       backupWin.height());
    EXPECT_TRUE(window.contains(placed));
    const QRect backupSkin = q(reader.readPosition(backup::kSkinPositions, backup::kSkinArea));
    EXPECT_EQ(backupSkin.size(), backupWin.size());
    expectBitmap(reader.readBitmapPath("BACKUP", "SKIN"), "BACKUP/SKIN", backupSkin.size());
    for (const char* key : {backup::kChannelListPlace, backup::kFrameRateListPlace, backup::kSizeListPlace})
        EXPECT_TRUE(backupSkin.contains(q(reader.readPosition(backup::kSkinPositions, key)))) << key;
    for (const SkinButtonKeys& k : backup::skinButtons())
        EXPECT_TRUE(backupSkin.contains(q(reader.readPosition(k.positionSection, k.positionKey))))
            << k.positionKey;

    // Image edit window.
    const QImage editNtsc(QString::fromStdString(reader.readBitmapPath("ZAV_EDIT", "NTSKIN").value_or("")));
    const QImage editPal(QString::fromStdString(reader.readBitmapPath("ZAV_EDIT", "PALSKIN").value_or("")));
    ASSERT_FALSE(editNtsc.isNull());
    ASSERT_FALSE(editPal.isNull());
    const QRect editTerm = q(reader.readPosition(edit::kSkinPositions, "POS_OVERLAY_TERM"));
    EXPECT_TRUE(editNtsc.rect().contains(QRect(editTerm.topLeft(), QSize(720, 480))));
    EXPECT_TRUE(editPal.rect().contains(QRect(editTerm.topLeft(), QSize(720, 576))));
    for (const char* key :
         {"POS_REC_DATE_TIME_TXT", "POS_REC_DATE", "POS_REC_TIME", "POS_IMG_SIZE_TXT", "POS_IMG_WIDTH",
          "POS_IMG_HEIGHT", "POS_COMMAND_TXT", "POS_COMMAND", "POS_SAVE_OK"}) {
        const QRect r = q(reader.readPosition(edit::kSkinPositions, key));
        EXPECT_NE(r, QRect(0, 0, 20, 10)) << key;
        EXPECT_TRUE(editNtsc.rect().contains(r)) << key;
    }
}

TEST_F(DefaultSkins, DiscoroButtonsResolve) {
    RecordingSkinNotifier notifier;
    PlayerSkinReader reader(binDir(), &notifier);
    struct Button {
        std::string section, posSection, posKey;
        bool dialog;
    };
    std::vector<Button> buttons;
    // The edit and backup windows' buttons, then the main window's buttons and state indicators, as the
    // windows make them.
    for (const auto* table : {&edit::skinButtons(), &backup::skinButtons()})
        for (const SkinButtonKeys& k : *table)
            buttons.push_back({k.section, k.positionSection, k.positionKey, true});
    for (const auto* table : {&dvr::player::skinkeys::buttons(), &dvr::player::skinkeys::stateIndicators()})
        for (const SkinButtonKeys& k : *table)
            buttons.push_back({k.section, k.positionSection, k.positionKey, false});

    for (const Button& b : buttons) {
        const QSize size = q(reader.readPosition(b.posSection, b.posKey)).size();
        const ButtonImageFiles files = reader.readButtonImages(b.section);
        expectBitmap(files.normal, b.section + "/NORMAL", size);
        expectBitmap(files.down, b.section + "/DOWN", size);
        expectBitmap(files.disable, b.section + "/DISABLE", size);
        if (!b.dialog)
            expectBitmap(files.dnCheck, b.section + "/DNCHECK", size);
    }
}

TEST_F(DefaultSkins, DiscoroToolTipsComeFromTheSkin) {
    RecordingSkinNotifier notifier;
    PlayerSkinReader reader(binDir(), &notifier);
    const std::pair<int, const char*> cases[] = {
        {1069, "Exit"},       {1013, "Play"}, {1004, "Screen split"}, {1055, "Show this channel"},
        {1046, "Play state"},
    };
    for (const auto& [id, text] : cases)
        EXPECT_EQ(PlayerToolTips::text(reader, id), QString::fromLatin1(text)) << id;
    for (int id = 1000; id < 1080; ++id) {
        const QString tip = PlayerToolTips::text(reader, id);
        EXPECT_NE(tip, QStringLiteral("EMPTY")) << "control " << id << " has no tooltip key in the skin";
        EXPECT_LE(tip.size(), PlayerToolTips::kMaxChars);
    }
    QWidget w;
    PlayerToolTips::apply(w, 1028, reader, true);
    EXPECT_EQ(w.toolTip(), QStringLiteral("Open a backup file"));
    PlayerToolTips::apply(w, 1028, reader, false);
    EXPECT_TRUE(w.toolTip().isEmpty()) << "TOOLTIP_ON 0 shows no tooltips";
}

}  // namespace
