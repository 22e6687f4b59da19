// Prism played through: scoring, the high-score table across runs, closing, the window.
#include "game/prism_game.h"

namespace orva::test {
namespace {

TEST(Prism, AGameScoresAndItsHighScoreOutlivesTheProgram) {
  TempDir dir;
  const std::string data = dir.Sub("data");
  // A table that any game beats; its second row's name is too long to be a name.
  WriteText(data + "/prism.ini",
            "[0x00000000=Scores]\n1= \"Old\" 7\n2= \"Far too long a name\" 9\n");
  {
    std::unique_ptr<Prism> game;
    Prism& g = *Started(game, data);
    EXPECT_EQ(g.Row(0), (std::pair<std::string, int32_t>{"Player", 9}));  // sorted, name mended
    EXPECT_EQ(g.Row(1), (std::pair<std::string, int32_t>{"Old", 7}));
    EXPECT_EQ(g.State(), g.St("ST_TITLE"));

    g.Key(kSpace);
    ASSERT_EQ(g.State(), g.St("ST_SERVE"));
    EXPECT_EQ(g.Var("lives"), 3);
    g.Key(kSpace);  // the first ball goes up into the bricks
    ASSERT_EQ(g.State(), g.St("ST_PLAY"));
    g.Wait(1500);
    EXPECT_GT(g.Var("score"), 0);

    LoseEveryBall(g);
    ASSERT_EQ(g.State(), g.St("ST_OVER"));
    const int32_t score = g.Var("score");
    EXPECT_EQ(g.Var("new_rank"), 0);
    EXPECT_EQ(g.Row(0).second, score);
    g.Wait(3500);
    ASSERT_EQ(g.State(), g.St("ST_NAME"));

    // The name starts as the last one used; Backspace takes whole characters, "[" is refused
    // (it would open a section of the settings file), and a name stops at 15 bytes.
    for (int i = 0; i < 6; ++i) g.Key(kBackspace);
    g.Key('A', "A");
    g.Key(0xDB, "[");
    g.Key('D', "d");
    g.Key('E', "\xC3\xA9");
    g.Key(kBackspace);
    g.Key('A', "a");
    EXPECT_EQ(g.Text(g.Sym("table")), "Ada");
    for (int i = 0; i < 20; ++i) g.Key('X', "x");
    EXPECT_EQ(g.Text(g.Sym("table")), "Adaxxxxxxxxxxxx");
    for (int i = 0; i < 12; ++i) g.Key(kBackspace);
    g.Key(kReturn);
    EXPECT_EQ(g.State(), g.St("ST_TITLE"));

    const std::string ini = ReadText(data + "/prism.ini");
    EXPECT_NE(ini.find("1= \"Ada\" " + std::to_string(score) + "\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Name= \"Ada\"\n"), std::string::npos) << ini;
    g.ExpectNoAlertsAndAllPictures();
  }
  // The next run starts with that table, and with that name for the next high score.
  std::unique_ptr<Prism> again;
  Prism& g = *Started(again, data);
  EXPECT_EQ(g.Row(0).first, "Ada");
  EXPECT_EQ(g.Text(g.Sym("last_name")), "Ada");
}

TEST(Prism, ClosingDuringAGameAsksInTheGameFirst) {
  TempDir dir;
  std::unique_ptr<Prism> game;
  Prism& g = *Started(game, dir.Sub("data"));
  EXPECT_EQ(g.Close(), 1);  // the title screen closes at once

  g.Click(500, 300);  // a click starts a game
  g.Click(500, 300);  // and serves
  ASSERT_EQ(g.State(), g.St("ST_PLAY"));
  EXPECT_EQ(g.Close(), 0);
  EXPECT_EQ(g.State(), g.St("ST_CONFIRM"));
  g.Key('N');  // play on: paused, so that the ball does not surprise anyone
  EXPECT_EQ(g.State(), g.St("ST_PAUSED"));
  g.Key('P');
  EXPECT_EQ(g.State(), g.St("ST_PLAY"));

  // Minimising pauses the game; it stays paused when the window comes back.
  g.Post({kMsgMinimized, 1, 0, 0});
  g.Post({kMsgMinimized, 0, 0, 0});
  g.Wait(100);
  EXPECT_EQ(g.State(), g.St("ST_PAUSED"));
  g.Key('P');
  EXPECT_EQ(g.State(), g.St("ST_PLAY"));

  EXPECT_EQ(g.Close(), 0);
  EXPECT_EQ(g.Close(), 1);  // asking again while the question is up means yes
  // "Quit" ends the program (the exit message then runs and the process ends with 0).
  int status = -1;
  try {
    g.Key('Y');
  } catch (const platform::ProcessExit& e) {
    status = e.status;
  }
  EXPECT_EQ(status, 0);
}

TEST(Prism, TheFieldIsCentredOrScaledToTheWindow) {
  TempDir dir;
  std::unique_ptr<Prism> game;
  Prism& g = *Started(game, dir.Sub("data"));
  struct Case {
    uint32_t w, h;
    int32_t x, y, out_w, out_h;
  };
  const Case cases[] = {
      {1000, 600, 0, 0, 1000, 600},       // the field's own size
      {1300, 700, 150, 50, 1000, 600},    // larger: centred 1:1
      {2500, 1250, 250, 25, 2000, 1200},  // twice as large: scaled by 2
      {800, 600, 0, 60, 800, 480},        // smaller: scaled down to fit, centred
      {1000, 400, 167, 0, 666, 400},
  };
  for (const Case& c : cases) {
    g.Post({kMsgSize, c.w, c.h, 0});
    g.Wait(40);
    EXPECT_EQ(
        (std::vector<int32_t>{g.Var("out_x"), g.Var("out_y"), g.Var("out_w"), g.Var("out_h")}),
        (std::vector<int32_t>{c.x, c.y, c.out_w, c.out_h}))
        << c.w << "x" << c.h;
  }
  // Around the field the view is black; the field's background shows inside it.
  EXPECT_EQ(g.Pixel(80, 200), 0xFF000000u);
  EXPECT_NE(g.Pixel(500, 200), 0xFF000000u);
  // A size of zero (no size known yet) changes nothing.
  g.Post({kMsgSize, 0, 0, 0});
  EXPECT_EQ(g.Var("out_w"), 666);
  g.ExpectNoAlertsAndAllPictures();
}

// M and S switch the music and the sound effects; both are kept for the next run.
TEST(Prism, ItsOptionsAreKept) {
  TempDir dir;
  const std::string data = dir.Sub("data");
  {
    std::unique_ptr<Prism> game;
    Prism& g = *Started(game, data);
    EXPECT_EQ(g.Var("music_on") + g.Var("sounds_on"), 2);
    g.Key('M');
    g.Key('S');
    EXPECT_EQ(g.Var("music_on") + g.Var("sounds_on"), 0);
  }
  const std::string ini = ReadText(data + "/prism.ini");
  EXPECT_NE(ini.find("Music=0\nSounds=0\n"), std::string::npos) << ini;
  std::unique_ptr<Prism> again;
  Prism& g = *Started(again, data);
  EXPECT_EQ(g.Var("music_on") + g.Var("sounds_on"), 0);
}

}  // namespace
}  // namespace orva::test
