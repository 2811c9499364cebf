#include "common/skin/widgets/SkinButtonLoader.h"

#include "common/skin/PlayerSkinReader.h"
#include "common/skin/SkinReader.h"
#include "common/skin/widgets/SkinButton.h"

#include <QImage>
#include <QRect>
#include <QString>

namespace dvr::skin {

namespace {
constexpr int kPtzFirstDirectionId = 1087;
constexpr int kPtzLastDirectionId = 1094;
constexpr int kPtzLastLensId = 1098;
constexpr quint32 kPtzPressBase = 1324;
constexpr quint32 kPtzOddLensBase = 1024;

QImage loadImage(const std::optional<std::string>& path) {
    if (!path)
        return {};
    return QImage(QString::fromStdString(*path));
}

struct Slots {
    QImage normal, down, disable, dnCheck;
    explicit Slots(const ButtonImageFiles& files)
        : normal(loadImage(files.normal)),
          down(loadImage(files.down)),
          disable(loadImage(files.disable)),
          dnCheck(loadImage(files.dnCheck)) {}
};

void fill(SkinButton& button, const QImage& s0, const QImage& s1, const QImage& s2, const QImage& s3,
          const QImage& s4) {
    button.setSlotImage(SlotReleased, s0);
    button.setSlotImage(SlotPressed, s1);
    button.setSlotImage(SlotChecked, s2);
    button.setSlotImage(SlotEnabledChecked, s3);
    button.setSlotImage(SlotDisabled, s4);
}

void finish(SkinButton& button, int commandId, ButtonKind kind, quint32 value) {
    button.setCommandId(commandId);
    button.setKind(kind);
    button.setNotificationValue(value);
    button.enable(true);
    button.setImage(SlotReleased);
}

constexpr ButtonKind kHoldKind = ButtonKind::Hold;
}  // namespace

void SkinButtonLoader::loadStandard(SkinButton& button, const ButtonImageFiles& files, int commandId,
                                    ButtonKind kind) {
    const Slots s(files);
    fill(button, s.normal, s.down, s.down, s.disable, s.disable);
    finish(button, commandId, kind, static_cast<quint32>(commandId));
}

void SkinButtonLoader::loadStandard(SkinButton& button, const SkinReader& reader, const char* section,
                                    int commandId, ButtonKind kind) {
    loadStandard(button, reader.readButtonImages(section), commandId, kind);
}

quint32 SkinButtonLoader::ptzNotificationValue(int commandId) {
    if (commandId >= kPtzFirstDirectionId && commandId <= kPtzLastDirectionId)
        return kPtzPressBase + static_cast<quint32>(commandId - kPtzFirstDirectionId);
    if (commandId > kPtzLastDirectionId && commandId <= kPtzLastLensId) {
        const auto index = static_cast<quint32>(commandId - kPtzFirstDirectionId);
        return (index % 2 == 0 ? kPtzPressBase : kPtzOddLensBase) + index;
    }
    return 0;
}

void SkinButtonLoader::loadPtz(SkinButton& button, const ButtonImageFiles& files, int commandId,
                               std::optional<quint32> value) {
    const Slots s(files);
    fill(button, s.normal, s.down, QImage(), s.dnCheck, s.disable);
    finish(button, commandId, kHoldKind, value.value_or(ptzNotificationValue(commandId)));
}

void SkinButtonLoader::loadPtz(SkinButton& button, const SkinReader& reader, const char* section,
                               int commandId, std::optional<quint32> value) {
    loadPtz(button, reader.readButtonImages(section), commandId, value);
}

void SkinButtonLoader::loadPlayerMain(SkinButton& button, const ButtonImageFiles& files, int commandId) {
    const Slots s(files);
    fill(button, s.normal, s.down, QImage(), s.dnCheck, s.disable);
    finish(button, commandId, kHoldKind, 0);
}

void SkinButtonLoader::loadPlayerMain(SkinButton& button, const PlayerSkinReader& reader, const char* section,
                                      int commandId) {
    loadPlayerMain(button, reader.readButtonImages(section), commandId);
}

void SkinButtonLoader::loadPlayerDialog(SkinButton& button, const ButtonImageFiles& files, int commandId) {
    const Slots s(files);
    fill(button, s.normal, s.down, QImage(), QImage(), s.disable);
    finish(button, commandId, kHoldKind, 0);
}

void SkinButtonLoader::loadPlayerDialog(SkinButton& button, const PlayerSkinReader& reader,
                                        const char* section, int commandId) {
    loadPlayerDialog(button, reader.readButtonImages(section), commandId);
}

QRect toQRect(const SkinRect& rect) {
    return QRect(rect.left, rect.top, rect.width(), rect.height());
}

}  // namespace dvr::skin
