#pragma once
// The help page of the main window: the manual (program type "help", mode
// '?') and the doping list (type "dopl", mode 'D').  One topic at a time in
// the rich-text engine, links, a history of visited topics, the page's own
// scroll bar and printing (viewers/ctrl_pager.h).
//
// The help request, the print dialog and the program's end go through
// HelpPageServices, which tests replace; boxes go through the message sink,
// web and mail links through the shell.  Main thread only.

#include <functional>
#include <memory>
#include <string>

#include "frame/pages/page.h"
#include "viewers/ctrl_pager.h"
#include "viewers/help_files.h"

struct PageContext;
struct PageHooks;
class TMainForm;

struct HelpPageServices {
    std::string programFolder; // with its trailing "/"
    std::string dataFolder;
    CanvasFont textFont; // FONTTXT= as set
    bool textFontIsTarel = true;
    CanvasFont printFont; // FONTPRN=
    // The manual's topic for F1 in the doping list (another copy shows it).
    std::function<void(const std::string& topic)> requestHelp;
    // The print dialog; true when confirmed.
    std::function<bool()> printSetup;
    // Ends the program with the exit code.
    std::function<void(int code)> terminate;
};

// The services of the real program: folders of the start, fonts of the
// settings, RequestHelp, the shared print job's dialog, the main window's end.
HelpPageServices DefaultHelpPageServices(TMainForm* owner);

class THlpWin : public TPraded {
public:
    enum Part : uint16_t { kText, kBar, kInput, kContents, kBack, kPrevious, kNext, kHelp, kElementCount };

    THlpWin(PageState& state, Canvas& canvas, int width, int height, char mode, HelpPageServices services);
    ~THlpWin() override;

    void Build() override;
    int32_t HandleEvent(int32_t code, uint8_t shift) override;
    void Layout() override;
    void Tick() override;
    void Paint() override;

    // Shows the topic of the name (a 6-character abbreviation); the topic
    // shown before goes on the history.
    void GoToTopic(const std::string& name);

    // State, for the main window and tests.
    char Mode() const { return mode_; }
    bool FilesOpen() const { return filesOpen_; }
    int CurrentEntry() const { return entry_; }
    const std::string& CurrentName() const { return name_; }
    const HelpTopicList& Topics() const { return files_.list; }
    CtrlTextPager& Pager() { return pager_; }
    const std::string& Input() const { return input_; }
    int LineHeight() const { return h_; }
    int Unit() const { return u_; }

private:
    void PlaceHelpElements();
    void ShowHelpTopic(TopicKey key);
    void ShowEntry(int entry);
    void MeasureHelpText();
    bool Back();
    bool FollowHelpLink(Point p);
    bool TypedCommand(int32_t code);
    void OpenAddress(const std::string& address);
    void PrintHelpTopic();
    void UpdateButtons();
    HelpContentSources Sources() const;

    char mode_;
    HelpPageServices services_;
    HelpFiles files_;
    bool filesOpen_ = false;
    CtrlTextPager pager_;
    int entry_ = -1;
    std::string name_; // the current topic's name ("" before the first)
    std::string input_;
    std::string noCaption_; // the buttons' caption: none
    int h_ = 0;             // line height
    int u_ = 0;             // character unit
    bool shown_ = false;
};

// Fills the page hooks: the page of types 2 and 8, and GoToTopic.
void AddHelpPageHooks(PageHooks& hooks);
