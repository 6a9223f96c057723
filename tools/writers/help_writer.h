#pragma once
// The help-file writer: compiles help sources (UTF-8, docs/formats/
// help-source.md) into a help-topic file, one X6 record per topic with its
// key in head bytes 8-13 (docs/formats/help.md).  The manual "qevw.hla", a
// second help file ("kalvo.hla") and the doping list "doping.dat" are made
// this way.
//
//   HelpCompiler c({HelpFileKind::Manual});
//   c.AddSource(text, "resources/help/10-lists.txt");
//   std::string bytes;
//   if (c.Finish(bytes)) WriteHelpFile(path, bytes);
//
// Every fault is reported as (file, line, reason); a source with any fault
// gives no file, so an older file stays.

#include <string>
#include <string_view>
#include <vector>

enum class HelpFileKind { Manual, Second, Doping };

struct HelpCompileOptions {
    HelpFileKind kind = HelpFileKind::Manual;
    bool compressed = true;
    // Topics of another file the links may name (the manual's, for the
    // second file): keys and titles (UTF-8).
    struct Known {
        std::string key;
        std::string title;
    };
    std::vector<Known> known;
};

struct HelpCompileError {
    std::string file;
    int line = 0;
    std::string reason;
    std::string Text() const; // "file:line: reason"
};

// One compiled topic.
struct HelpCompiledTopic {
    std::string key;   // six characters, as stored in the head
    std::string title; // UTF-8
    int level = 0;     // 0 topic, 1 chapter, 2 part
    std::string text;  // CtrlText, data code page
};

class HelpCompiler {
public:
    explicit HelpCompiler(HelpCompileOptions options);

    // Reads a source; its topics join those of earlier sources.
    void AddSource(std::string_view utf8, const std::string& fileName);
    // Resolves the links, checks the limits and makes the file.  False after
    // any fault (`Errors()`).
    bool Finish(std::string& fileBytes);

    const std::vector<HelpCompileError>& Errors() const { return errors_; }
    const std::vector<HelpCompiledTopic>& Topics() const { return compiled_; }

private:
    struct Line {
        int number = 0;
        std::string text;
    };
    struct Topic {
        std::string file;
        int line = 0;
        int level = 0;
        std::string title; // UTF-8
        std::string key;   // as given or made, before padding
        bool keyGiven = false;
        std::vector<Line> body;
    };
    struct Target {
        std::string key; // padded to six
        std::string title;
        std::string linkText; // data code page: the default visible text
    };

    void Error(const std::string& file, int line, const std::string& reason);
    bool CompileTopic(const Topic& t, HelpCompiledTopic& out);
    bool LinkTo(std::string_view inner, std::string& out, std::string& error);
    const Target* FindTarget(std::string_view name) const;

    HelpCompileOptions options_;
    std::vector<Topic> topics_;
    std::vector<Target> targets_;
    std::vector<HelpCompiledTopic> compiled_;
    std::vector<HelpCompileError> errors_;
};

// Compiles every "*.txt" of a folder, in name order.  False after any fault
// (each goes to `errors`).
bool CompileHelpFolder(const std::string& folder, const HelpCompileOptions& options, std::string& fileBytes,
                       std::vector<HelpCompileError>& errors,
                       std::vector<HelpCompiledTopic>* topics = nullptr);
// Writes the file whole or not at all; 0 or the I/O result.
int WriteHelpFile(const std::string& path, const std::string& bytes);

// The most a title may hold, in text bytes.
constexpr size_t kHelpMaxTitle = 50;
