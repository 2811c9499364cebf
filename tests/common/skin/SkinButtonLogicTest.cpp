#include "common/skin/SkinButtonLogic.h"

#include <gtest/gtest.h>

using dvr::skin::ButtonEvent;
using dvr::skin::ButtonEvents;
using dvr::skin::SkinButtonLogic;
using Type = ButtonEvent::Type;

namespace {

using dvr::skin::ButtonKind;
constexpr ButtonKind kToggle = ButtonKind::Toggle;
constexpr ButtonKind kHold = ButtonKind::Hold;
constexpr ButtonKind kLatch = ButtonKind::Latch;
constexpr ButtonKind kMomentary = ButtonKind::Momentary;

ButtonEvents click(SkinButtonLogic& b) {
    b.mouseMove();
    ButtonEvents all = b.leftDown();
    const ButtonEvents up = b.leftUp();
    all.insert(all.end(), up.begin(), up.end());
    return all;
}

int commands(const ButtonEvents& events) {
    int n = 0;
    for (const ButtonEvent& e : events)
        n += e.type == Type::Command ? 1 : 0;
    return n;
}

}  // namespace

TEST(SkinButtonLogic, ToggleClickedTwiceEndsUncheckedOnImage0WithTwoCommands) {
    SkinButtonLogic b(kToggle);
    const ButtonEvents first = click(b);
    EXPECT_TRUE(b.checked());
    EXPECT_EQ(b.image(), 2);
    const ButtonEvents second = click(b);
    EXPECT_FALSE(b.checked());
    EXPECT_EQ(b.image(), 0);
    EXPECT_EQ(commands(first) + commands(second), 2);
}

TEST(SkinButtonLogic, ToggleShowsPressedImageOnlyWhenChecked) {
    SkinButtonLogic b(kToggle);
    b.leftDown();
    EXPECT_EQ(b.image(), 0);
    b.leftUp();
    b.leftDown();
    EXPECT_EQ(b.image(), 1);
}

TEST(SkinButtonLogic, LatchIgnoresClicksOnceCheckedUntilSetCheckedZero) {
    SkinButtonLogic b(kLatch);
    EXPECT_EQ(commands(click(b)), 1);
    EXPECT_TRUE(b.checked());
    EXPECT_EQ(b.image(), 2);

    const ButtonEvents ignored = click(b);
    EXPECT_TRUE(b.checked());
    EXPECT_EQ(b.image(), 2);
    // The release of an ignored press is a cancel, never a command.
    EXPECT_EQ(ignored, (ButtonEvents{{Type::Cancel, 0, 0}}));

    b.setChecked(false);
    EXPECT_EQ(b.image(), 0);
    EXPECT_EQ(commands(click(b)), 1);
    EXPECT_TRUE(b.checked());
}

TEST(SkinButtonLogic, DisabledLatchIgnoresSetChecked) {
    SkinButtonLogic b(kLatch);
    b.enable(false);
    b.setChecked(true);
    EXPECT_FALSE(b.checked());
    EXPECT_EQ(b.image(), 4);
}

TEST(SkinButtonLogic, HoldReportsPressAndReleasePostedThenSynchronous) {
    SkinButtonLogic b(kHold);
    b.setValue(1324);
    EXPECT_EQ(b.leftDown(), (ButtonEvents{{Type::Hold, 1324, 1}, {Type::HoldSync, 1324, 1}}));
    EXPECT_TRUE(b.checked());
    EXPECT_EQ(b.image(), 1);
    EXPECT_EQ(b.leftUp(),
              (ButtonEvents{{Type::Hold, 1324, 0}, {Type::HoldSync, 1324, 0}, {Type::Command, 0, 0}}));
    EXPECT_FALSE(b.checked());
    EXPECT_EQ(b.image(), 0);
}

TEST(SkinButtonLogic, HoldLeftWhilePressedCompletesAsClick) {
    SkinButtonLogic b(kHold);
    b.setValue(7);
    b.mouseMove();
    b.leftDown();
    EXPECT_EQ(b.leave(), (ButtonEvents{{Type::Hold, 7, 0}, {Type::HoldSync, 7, 0}, {Type::Command, 0, 0}}));
    EXPECT_FALSE(b.pressed());
    EXPECT_FALSE(b.tracking());
    // Without tracking no second leave is reported.
    EXPECT_TRUE(b.leave().empty());
}

TEST(SkinButtonLogic, ReleaseOrLeaveWithoutPressPostsCancel) {
    SkinButtonLogic b(kToggle);
    EXPECT_EQ(b.leftUp(), (ButtonEvents{{Type::Cancel, 0, 0}}));
    b.mouseMove();
    EXPECT_EQ(b.leave(), (ButtonEvents{{Type::Cancel, 0, 0}}));
}

TEST(SkinButtonLogic, CancelPressEndsPressWithoutCommand) {
    struct Case {
        ButtonKind kind;
        bool checkedBefore;
        ButtonEvents events;
        int image;
        bool checkedAfter;
    };
    const Case cases[] = {
        {kHold, false, {{Type::Hold, 9, 0}}, 0, false},
        {kMomentary, false, {}, 0, false},
        {kToggle, true, {}, 2, true},
        {kToggle, false, {}, 0, false},
    };
    for (const Case& c : cases) {
        SkinButtonLogic b(c.kind);
        b.setValue(9);
        if (c.checkedBefore)
            b.setChecked(true);
        b.leftDown();
        EXPECT_EQ(b.cancelPress(), c.events) << "kind " << int(c.kind);
        EXPECT_EQ(b.image(), c.image) << "kind " << int(c.kind);
        EXPECT_EQ(b.checked(), c.checkedAfter) << "kind " << int(c.kind);
        EXPECT_TRUE(b.cancelPress().empty()) << "a second cancel does nothing";
    }
}

TEST(SkinButtonLogic, SetCheckedOnHoldPostsOnlyOnChange) {
    SkinButtonLogic b(kHold);
    b.setValue(13);
    EXPECT_EQ(b.setChecked(true), (ButtonEvents{{Type::Hold, 13, 1}}));
    EXPECT_TRUE(b.setChecked(true).empty());
    EXPECT_EQ(b.image(), 1);
    EXPECT_EQ(b.setChecked(false), (ButtonEvents{{Type::Hold, 13, 0}}));
    EXPECT_TRUE(b.setChecked(false).empty());
    EXPECT_EQ(b.image(), 0);
}

TEST(SkinButtonLogic, EnableChoosesImageByCheckedState) {
    SkinButtonLogic b(kToggle);
    b.setChecked(true);
    b.enable(false);
    EXPECT_EQ(b.image(), 4);
    EXPECT_TRUE(b.leftDown().empty());
    EXPECT_TRUE(b.leftUp().empty()) << "a disabled button produces no events";
    b.enable(true);
    EXPECT_EQ(b.image(), 3);
    b.setChecked(false);
    b.enable(true);
    EXPECT_EQ(b.image(), 0);
}

// A button disabled while it is held (the window changed state meanwhile) ends the press without a
// command; enabled again it is not stuck pressed, and the pointer leaving it later clicks nothing.
TEST(SkinButtonLogic, DisablingAHeldButtonEndsThePressWithoutACommand) {
    SkinButtonLogic b(kHold);
    b.setValue(7);
    b.mouseMove();
    b.leftDown();
    EXPECT_EQ(b.enable(false), (ButtonEvents{{Type::Hold, 7, 0}}));
    EXPECT_TRUE(b.leftUp().empty());
    EXPECT_TRUE(b.enable(true).empty());
    EXPECT_EQ(b.image(), 0);
    b.mouseMove();
    EXPECT_EQ(commands(b.leave()), 0);
    EXPECT_FALSE(b.checked());
}

TEST(SkinButtonLogic, MomentaryIsCheckedWhilePressedAndActsAsToggleInThePlayer) {
    SkinButtonLogic viewer(kMomentary);
    viewer.leftDown();
    EXPECT_TRUE(viewer.checked());
    EXPECT_EQ(viewer.image(), 1);
    EXPECT_EQ(commands(viewer.leftUp()), 1);
    EXPECT_FALSE(viewer.checked());

    SkinButtonLogic player(kMomentary, false);
    click(player);
    EXPECT_TRUE(player.checked()) << "kind 3 behaves as a toggle in the player";
    EXPECT_EQ(player.image(), 2);
}
