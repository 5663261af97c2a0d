// The harness's own check: it reads a message box's caption, text, icon and buttons
// correctly and presses the button it is told to.
#include "message_box.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(MessageBoxHarness, ReadsWhatTheBoxShowsAndPressesTheChosenButton) {
    struct Case {
        UINT flags;
        BoxIcon icon;
        std::vector<int> buttons;
        int press;
    } cases[] = {
        {MB_ICONWARNING, BoxIcon::Warning, {IDOK}, IDOK},
        {MB_YESNO | MB_ICONWARNING, BoxIcon::Warning, {IDYES, IDNO}, IDNO},
        {MB_YESNO | MB_ICONQUESTION, BoxIcon::Question, {IDYES, IDNO}, IDYES},
        {MB_ICONERROR, BoxIcon::Error, {IDOK}, IDOK},
        {MB_ICONINFORMATION, BoxIcon::Information, {IDOK}, IDOK},
        {MB_OK, BoxIcon::None, {IDOK}, IDOK},
    };
    for (const Case& c : cases) {
        MessageBoxAnswerer answerer(c.press);
        int result = MessageBoxA(NULL, "Line one\r\nLine two", "Some Caption", c.flags);
        ASSERT_TRUE(answerer.Seen()) << c.flags;
        EXPECT_EQ(c.press, result);
        EXPECT_EQ("Some Caption", answerer.Info().caption);
        EXPECT_EQ("Line one\r\nLine two", answerer.Info().text);
        EXPECT_EQ(BoxIconName(c.icon), std::string(BoxIconName(answerer.Info().icon))) << c.flags;
        EXPECT_EQ(c.buttons, answerer.Info().buttons) << c.flags;
    }
}

TEST(MessageBoxHarness, ReportsNoBoxWhenNoneComes) {
    MessageBoxInfo info;
    EXPECT_FALSE(WaitForMessageBox(GetCurrentProcessId(), 300, &info));
}

} // namespace
