#include "common/skin/widgets/SkinButton.h"
#include "common/skin/widgets/SkinButtonLoader.h"
#include "common/skin/widgets/SkinSurface.h"
#include "tests/common/skin/widgets/QtTestApp.h"

#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace dvr::skin;

using dvr::skin::ButtonKind;
using dvr::skin::SkinButton;
using dvr::skin::SkinButtonLoader;
using dvr::skin::SkinSurface;

namespace {

// Records every signal of a button as text, in arrival order.
struct Recorder {
    QStringList log;
    explicit Recorder(SkinButton& b) {
        QObject::connect(&b, &SkinButton::holdSync, &b,
                         [this](quint32 v, int s) { log << QStringLiteral("sync %1 %2").arg(v).arg(s); });
        QObject::connect(&b, &SkinButton::hold, &b,
                         [this](quint32 v, int s) { log << QStringLiteral("hold %1 %2").arg(v).arg(s); });
        QObject::connect(&b, &SkinButton::cancel, &b,
                         [this](int a, int c) { log << QStringLiteral("cancel %1 %2").arg(a).arg(c); });
        QObject::connect(&b, &SkinButton::command, &b, [this](int id, SkinButton* from) {
            log << QStringLiteral("command %1 %2").arg(id).arg(from != nullptr ? 1 : 0);
        });
    }
};

class SkinButtonTest : public ::testing::Test {};

QImage solid(QColor colour) {
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

}  // namespace

TEST_F(SkinButtonTest, HoldDeliversSynchronousBeforePostedEvents) {
    SkinButton b;
    b.resize(20, 10);
    b.setKind(ButtonKind::Hold);
    b.setNotificationValue(1324);
    b.setCommandId(1087);
    Recorder r(b);

    press(b, {5, 5});
    EXPECT_EQ(r.log, QStringList{QStringLiteral("sync 1324 1")})
        << "the posted hold waits for the event loop";
    drainPosted();
    EXPECT_EQ(r.log, (QStringList{QStringLiteral("sync 1324 1"), QStringLiteral("hold 1324 1")}));

    r.log.clear();
    release(b, {5, 5});
    drainPosted();
    EXPECT_EQ(r.log, (QStringList{QStringLiteral("sync 1324 0"), QStringLiteral("hold 1324 0"),
                                  QStringLiteral("command 1087 1")}));
}

TEST_F(SkinButtonTest, HoldLeftWhilePressedReleasesAtTheMomentOfLeaving) {
    SkinButton b;
    b.resize(20, 10);
    b.setKind(ButtonKind::Hold);
    b.setNotificationValue(1330);
    b.setCommandId(1093);
    Recorder r(b);

    moveFree(b, {5, 5});
    press(b, {5, 5});
    drainPosted();
    r.log.clear();

    moveHeld(b, {30, 5});
    EXPECT_EQ(b.image(), 0);
    EXPECT_FALSE(b.checked());
    drainPosted();
    EXPECT_EQ(r.log, (QStringList{QStringLiteral("sync 1330 0"), QStringLiteral("hold 1330 0"),
                                  QStringLiteral("command 1093 1")}));

    // The release that follows outside the button and the leave report add nothing.
    r.log.clear();
    release(b, {30, 5});
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&b, &leave);
    drainPosted();
    EXPECT_TRUE(r.log.isEmpty()) << r.log.join(QLatin1Char(',')).toStdString();
}

TEST_F(SkinButtonTest, ToggleClickedTwicePostsTwoCommands) {
    SkinButton b;
    b.resize(20, 10);
    b.setKind(ButtonKind::Toggle);
    b.setCommandId(1026);
    Recorder r(b);
    for (int i = 0; i < 2; ++i) {
        press(b, {3, 3});
        release(b, {3, 3});
    }
    drainPosted();
    EXPECT_EQ(r.log, (QStringList{QStringLiteral("command 1026 1"), QStringLiteral("command 1026 1")}));
    EXPECT_FALSE(b.checked());
    EXPECT_EQ(b.image(), 0);
}

TEST_F(SkinButtonTest, LeaveWithoutPressPostsCancel) {
    SkinButton b;
    b.resize(20, 10);
    Recorder r(b);
    moveFree(b, {4, 4});
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&b, &leave);
    drainPosted();
    EXPECT_EQ(r.log, QStringList{QStringLiteral("cancel 0 0")});
}

TEST_F(SkinButtonTest, StandardLoaderFillsSlotsAndEnablingCheckedShowsDisableImage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const char* name, QColor colour) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(solid(colour).save(path, "BMP"));
        return path.toStdString();
    };
    ButtonImageFiles files;
    files.normal = write("n.bmp", Qt::red);
    files.down = write("d.bmp", Qt::green);
    files.disable = write("x.bmp", Qt::blue);
    files.dnCheck = write("c.bmp", Qt::yellow);

    SkinButton b;
    SkinButtonLoader::loadStandard(b, files, 1042, ButtonKind::Momentary);
    EXPECT_EQ(b.commandId(), 1042);
    EXPECT_EQ(b.notificationValue(), 1042u);
    EXPECT_EQ(b.kind(), ButtonKind::Momentary);
    EXPECT_EQ(b.image(), 0);
    const QRgb expected[] = {QColor(Qt::red).rgb(), QColor(Qt::green).rgb(), QColor(Qt::green).rgb(),
                             QColor(Qt::blue).rgb(), QColor(Qt::blue).rgb()};
    for (int slot = 0; slot < 5; ++slot)
        EXPECT_EQ(b.slotImage(slot).pixel(0, 0), expected[slot]) << "slot " << slot;

    b.setChecked(true);
    b.enable(false);
    b.enable(true);
    EXPECT_EQ(b.image(), 3);
    EXPECT_EQ(b.slotImage(b.image()).pixel(0, 0), QColor(Qt::blue).rgb());
}

TEST_F(SkinButtonTest, LoadersPlaceImagesAndValuesPerTable) {
    QTemporaryDir dir;
    ButtonImageFiles files;
    const char* names[] = {"n.bmp", "d.bmp", "x.bmp", "c.bmp"};
    std::optional<std::string>* fields[] = {&files.normal, &files.down, &files.disable, &files.dnCheck};
    for (int i = 0; i < 4; ++i) {
        const QString path = dir.filePath(QString::fromLatin1(names[i]));
        QImage image = solid(QColor::fromHsv(i * 80, 255, 255));
        image.save(path, "BMP");
        *fields[i] = path.toStdString();
    }
    const QRgb n = QImage(QString::fromStdString(*files.normal)).pixel(0, 0);
    const QRgb d = QImage(QString::fromStdString(*files.down)).pixel(0, 0);
    const QRgb x = QImage(QString::fromStdString(*files.disable)).pixel(0, 0);
    const QRgb c = QImage(QString::fromStdString(*files.dnCheck)).pixel(0, 0);
    const auto slots = [](const SkinButton& b) {
        std::vector<std::optional<QRgb>> out;
        for (int s = 0; s < 5; ++s)
            out.push_back(b.slotImage(s).isNull() ? std::nullopt
                                                  : std::optional<QRgb>(b.slotImage(s).pixel(0, 0)));
        return out;
    };
    using Slots = std::vector<std::optional<QRgb>>;

    SkinButton ptz;
    SkinButtonLoader::loadPtz(ptz, files, 1094);
    EXPECT_EQ(slots(ptz), (Slots{n, d, std::nullopt, c, x}));
    EXPECT_EQ(ptz.kind(), ButtonKind::Hold);
    EXPECT_EQ(ptz.notificationValue(), 1331u);

    SkinButton channel;
    SkinButtonLoader::loadPtz(channel, files, 1099, 13u);
    EXPECT_EQ(channel.notificationValue(), 13u);

    SkinButton main(nullptr, false);
    SkinButtonLoader::loadPlayerMain(main, files, 1013);
    EXPECT_EQ(slots(main), (Slots{n, d, std::nullopt, c, x}));
    EXPECT_EQ(main.kind(), ButtonKind::Hold);
    EXPECT_EQ(main.notificationValue(), 0u);

    SkinButton dialog(nullptr, false);
    SkinButtonLoader::loadPlayerDialog(dialog, files, 1039);
    EXPECT_EQ(slots(dialog), (Slots{n, d, std::nullopt, std::nullopt, x}));
    EXPECT_EQ(dialog.commandId(), 1039);
}

TEST_F(SkinButtonTest, PtzNotificationValues) {
    const std::pair<int, quint32> cases[] = {
        {1087, 1324}, {1088, 1325}, {1091, 1328}, {1094, 1331},  // directions: 1324 + i
        {1095, 1332}, {1096, 1033}, {1097, 1334}, {1098, 1035},  // zoom and focus: even / odd index
        {1086, 0},    {1099, 0},
    };
    for (const auto& [id, value] : cases)
        EXPECT_EQ(SkinButtonLoader::ptzNotificationValue(id), value) << id;
}

TEST_F(SkinButtonTest, MissingFilesLeaveSlotsEmpty) {
    ButtonImageFiles files;
    files.normal = "/nonexistent/n.bmp";
    SkinButton b;
    SkinButtonLoader::loadStandard(b, files, 1000, ButtonKind::Momentary);
    for (int s = 0; s < 5; ++s)
        EXPECT_TRUE(b.slotImage(s).isNull());
    EXPECT_TRUE(b.isSkinEnabled());
}

TEST_F(SkinButtonTest, ForeignSurfacePaintsTheButtonImageAtItsPlace) {
    SkinSurface surface;
    surface.resize(60, 40);
    QImage background(60, 40, QImage::Format_RGB32);
    background.fill(Qt::black);
    surface.setBackground(background);
    auto* b = new SkinButton(&surface);
    b->setGeometry(30, 20, 20, 10);
    b->setSlotImage(0, solid(Qt::red));
    b->setSlotImage(1, solid(Qt::green));
    b->setForeignSurface(&surface);

    QImage own(20, 10, QImage::Format_RGB32);
    own.fill(Qt::white);
    b->render(&own, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(own.pixel(5, 5), QColor(Qt::white).rgb()) << "the button itself paints nothing";

    QImage shot = surface.grab().toImage();
    EXPECT_EQ(shot.pixel(35, 25), QColor(Qt::red).rgb());
    EXPECT_EQ(shot.pixel(5, 5), QColor(Qt::black).rgb());
    b->setImage(1);
    shot = surface.grab().toImage();
    EXPECT_EQ(shot.pixel(35, 25), QColor(Qt::green).rgb());

    delete b;
    shot = surface.grab().toImage();
    EXPECT_EQ(shot.pixel(35, 25), QColor(Qt::black).rgb()) << "a destroyed button leaves the surface";
}

TEST_F(SkinButtonTest, ButtonsForgetASurfaceThatIsDestroyedFirst) {
    // The surface goes before its buttons: as their parent (children die after the surface's own members)
    // and as an older sibling (children die in creation order). Neither button may reach it afterwards.
    QWidget window;
    auto* sibling = new SkinSurface(&window);
    auto* overSibling = new SkinButton(&window);
    overSibling->setForeignSurface(sibling);
    delete sibling;
    EXPECT_EQ(overSibling->foreignSurface(), nullptr);
    overSibling->setImage(1);  // repaints into itself again

    auto* parent = new SkinSurface(&window);
    auto* child = new SkinButton(parent);
    child->setSlotImage(0, solid(Qt::red));
    child->setForeignSurface(parent);
    delete parent;  // deletes the child after the surface's destructor ran
    SUCCEED();
}
