#include "ui/ProgressWindow.h"

#include <gtest/gtest.h>

#include "platform/fake/FakePlatform.h"

namespace {

TEST(ProgressWindow, PositionIsTheTruncatedProduct) {
  const struct {
    float fraction;
    int position;
  } cases[] = {{0.0f, 0},    {0.05f, 25},   {0.1f, 50},   {0.25f, 125}, {0.3f, 150},
               {0.45f, 224}, {0.675f, 337}, {0.95f, 474}, {1.0f, 500},  {1.5f, 750}};
  for (const auto& c : cases) EXPECT_EQ(BarPosition(c.fraction), c.position) << c.fraction;
}

TEST(ProgressWindow, CreateShowsTheStoredTextAndRange) {
  fake::FakeDialogs dialogs;
  ProgressWindow window(dialogs);
  window.SetText("Installing...");
  window.SetText(nullptr);  // no change
  auto owner = reinterpret_cast<os::Window>(0x1234);
  ASSERT_NE(window.Create(nullptr, owner), nullptr);
  auto* dialog = static_cast<fake::FakeWindow*>(window.Window());
  EXPECT_EQ(dialog->resource, "IDD_PROGRESSBAR");
  EXPECT_EQ(dialog->text, "Installing...");
  EXPECT_EQ(dialog->items.at(1003)->rangeHigh, 500);

  window.SetProgress(0.95f);
  EXPECT_EQ(dialog->items.at(1003)->position, 474);
  EXPECT_EQ(dialog->items.at(1003)->updates, 1);

  // With a window the caption changes but the stored text does not.
  window.SetText("Other");
  EXPECT_EQ(dialog->text, "Other");
  EXPECT_STREQ(window.Text(), "Installing...");

  window.Destroy();
  EXPECT_TRUE(dialog->destroyed);
  EXPECT_EQ(window.Window(), nullptr);
}

TEST(ProgressWindow, LongTextKeepsTheFirst259Characters) {
  fake::FakeDialogs dialogs;
  ProgressWindow window(dialogs);
  const std::string text(300, 'x');
  window.SetText(text.c_str());
  EXPECT_EQ(std::string(window.Text()), text.substr(0, 259));
}

TEST(ProgressWindow, DestructionRemovesAWindowStillShownOnce) {
  fake::FakeDialogs dialogs;
  {
    ProgressWindow window(dialogs);
    window.Create(nullptr, nullptr);
  }
  EXPECT_TRUE(dialogs.windows.front()->destroyed);
  {
    ProgressWindow window(dialogs);
    window.Create(nullptr, nullptr);
    window.Destroy();
  }
  int destroys = 0;
  for (const auto& line : dialogs.journal) destroys += line == "destroy";
  EXPECT_EQ(destroys, 2);
}

TEST(ProgressWindow, FailedCreationIsHarmless) {
  fake::FakeDialogs dialogs;
  dialogs.failCreate = true;
  ProgressWindow window(dialogs);
  EXPECT_EQ(window.Create(nullptr, nullptr), nullptr);
  window.SetProgress(0.5f);
  window.SetText("Later");
  EXPECT_STREQ(window.Text(), "Later");
}

}  // namespace
