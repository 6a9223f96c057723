// Macro playback against a recording injector: what acts at which step.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

#include "frame/commands/macro.h"
#include "platform/fs.h"
#include "tests/support/gui_app.h"

namespace {

class Macro : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_support::EnsureGuiApp();
        ResetMacro();
        auto in = std::make_unique<RecordingMacroInjector>();
        in->origin = QPoint(200, 100);
        in->cursor = QPoint(200, 100);
        injector = in.get();
        previous_ = SetMacroInjector(std::move(in));
    }
    void TearDown() override
    {
        SetMacroInjector(std::move(previous_));
        ResetMacro();
    }
    // Runs the script for `steps` steps; the events with their step numbers.
    std::vector<std::pair<int, std::string>> Play(const std::string& text, int steps)
    {
        AppendMacroScript(MacroScriptOfText(text));
        for (int s = 1; s <= steps; ++s) {
            injector->step = s;
            RunMacroStep();
        }
        std::vector<std::pair<int, std::string>> out;
        for (const auto& e : injector->events)
            out.emplace_back(e.step, e.what);
        return out;
    }
    RecordingMacroInjector* injector = nullptr;

private:
    std::unique_ptr<MacroInjector> previous_;
};

using Events = std::vector<std::pair<int, std::string>>;

TEST_F(Macro, ScriptsActAtTheirSteps)
{
    struct Case {
        const char* script;
        int steps;
        Events events;
    };
    const Case cases[] = {
        {"kA,0;kB,1 // two keys", 12, {{1, "key 65"}, {10, "key 66"}}},
        {"x,5;kC,0", 3, {{2, "key 67"}}},                  // an unknown command is dropped at once
        {"n,2;k7,0", 20, {{18, "key 55"}}},                // the wait takes 16 steps, the next is read at 18
        {"ka,0;kAlt,0;kNic,0;kEnt,0", 6, {{4, "key 13"}}}, // lower-case letters, Alt, unknown names: nothing
        {" kEsc , 1 ;\r\n\r\n  // only a comment\r\nkBack,0", 12, {{9, "key 27"}, {10, "key 8"}}},
        {"kF10,0;kML,0;k9,x", 4, {{1, "key 121"}, {2, "click"}, {3, "key 57"}}},
        {";;kZ,0", 5, {{3, "key 90"}}},   // empty commands are dropped one per step
        {"k,0;kQ,0", 3, {{2, "key 81"}}}, // a key without a name is 0
    };
    for (const Case& c : cases) {
        ResetMacro();
        injector->events.clear();
        EXPECT_EQ(Play(c.script, c.steps), c.events) << c.script;
        EXPECT_TRUE(CurrentMacroState().script.empty()) << c.script;
    }
}

TEST_F(Macro, TheMouseGlidesInShrinkingStepsAndLandsWhenTheDelayEnds)
{
    const Events events = Play("a,10,100,50", 85);
    ASSERT_EQ(events.size(), 81u);
    // The first steps close an eighth of the horizontal and a sixth of the
    // vertical distance.
    EXPECT_EQ(events[0], (std::pair<int, std::string>{1, "move 12,8"}));
    EXPECT_EQ(events[1], (std::pair<int, std::string>{2, "move 23,15"}));
    // Once within 1 the axis stays on its target.
    EXPECT_EQ(events.back(), (std::pair<int, std::string>{81, "move 100,50"}));
    for (size_t i = 1; i < events.size(); ++i) {
        const std::string& w = events[i].second;
        const int x = std::stoi(w.substr(5));
        EXPECT_LE(x, 100) << w;
    }
    // A glide that starts on the target stays there.
    ResetMacro();
    injector->events.clear();
    injector->cursor = QPoint(200 + 30, 100 + 20);
    const Events still = Play("a,1,30,20", 9);
    ASSERT_EQ(still.size(), 9u);
    for (const auto& e : still)
        EXPECT_EQ(e.second, "move 30,20");
}

TEST_F(Macro, HugeDelaysWaitAndFarTargetsStayOnTheirSide)
{
    // Eight times the delay is past the largest int: the wait must still
    // be long, not over at once.
    EXPECT_TRUE(Play("n,300000000;kA,0", 200).empty());
    EXPECT_GT(CurrentMacroState().countdown, int64_t{2'000'000'000});

    // A far point: the glide moves toward it in every step and never
    // jumps to the other side.
    const struct {
        const char* script;
        int sign;
    } glides[] = {{"a,2,2147483000,10", 1}, {"a,2,-2147483000,-2147483000", -1}, {"a,2,10,2147483647", 1}};
    for (const auto& g : glides) {
        ResetMacro();
        injector->events.clear();
        injector->cursor = injector->origin;
        const Events events = Play(g.script, 17);
        ASSERT_EQ(events.size(), 17u) << g.script;
        long long previous = 0;
        for (const auto& e : events) {
            const std::string& w = e.second;
            const size_t comma = w.find(',');
            const long long x = std::stoll(w.substr(5, comma - 5));
            const long long y = std::stoll(w.substr(comma + 1));
            const long long far = std::abs(x) > 10 ? x : y;
            EXPECT_GE(far * g.sign, previous * g.sign) << g.script << ": " << w;
            previous = far;
        }
        EXPECT_GT(previous * g.sign, 30000) << g.script;
    }
}

TEST_F(Macro, KeyNames)
{
    const std::pair<const char*, int> cases[] = {
        {"A", 65},   {"7", 55},    {"a", 97}, {"Ent", 13}, {"Esc", 27}, {"Back", 8},  {"F10", 121},
        {"ML", 512}, {"Alt", 256}, {"F1", 0}, {"ent", 0},  {"", 0},     {"Enter", 0},
    };
    for (const auto& [name, code] : cases)
        EXPECT_EQ(KeyCodeOfName(name), code) << name;
}

TEST_F(Macro, FilesAppendTheirCommandsAndAMissingFileAddsNothing)
{
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/demo.mac";
    WriteFileAtomic(path, "// demo\r\nkA,0\r\n  kB,0;  kC,1  \r\n\r\nn,1 // wait\r\n");
    EXPECT_TRUE(LoadMacro(path));
    EXPECT_EQ(CurrentMacroState().script, "kA,0;kB,0;  kC,1;n,1;");
    EXPECT_FALSE(LoadMacro(path + ".missing"));
    EXPECT_EQ(CurrentMacroState().script, "kA,0;kB,0;  kC,1;n,1;");
    injector->step = 1;
    RunMacroStep();
    EXPECT_EQ(injector->events.size(), 1u);
}

TEST_F(Macro, NothingToPlayIsIdle)
{
    for (int i = 0; i < 5; ++i)
        RunMacroStep();
    EXPECT_TRUE(injector->events.empty());
    EXPECT_EQ(CurrentMacroState().countdown, -1);
}

} // namespace
