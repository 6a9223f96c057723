#pragma once
// Handing queries between running copies of the program.
//
// Every copy's main window listens on one local socket, "TMainForm." + its
// window number, in the user's private socket folder ($XDG_RUNTIME_DIR/qevw/,
// else /tmp/qevw-<uid>/; mode 0700 and the user's own, or no hand-over at
// all).  A copy that starts offers its request to the others, newest first;
// the first that takes it shows the request and the new copy ends.  Copies
// the program starts itself learn their starter through a handshake.
//
// Frame (docs/formats/ipc-frame.md): u32 LE sender window, u32 LE length
// (text + 1), the text and its NUL; the reply is one u32 LE.  The text is an
// option list "|y=<code>" + query, optionally followed by "||" and a second
// list of arguments.  A reply counts as "taken" when it is 0x10000000 or more
// as a signed 32-bit number.
//
// Threads: everything here runs on the main thread, except SendCopyData to
// this copy's own window, which any thread may call (the request is handled
// on the main thread and the caller waits for the reply).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/start/command_line.h"

// Verdicts ORed into a reply.
namespace QueryVerdict {
constexpr uint32_t Taken = 0x10000000;        // taken, or the answer to "_req"
constexpr uint32_t OtherKind = 0x1000000;     // another program type or data set
constexpr uint32_t TagMismatch = 0x2000000;   // "y" of 256 or more differs from group OR tag
constexpr uint32_t GroupMismatch = 0x3000000; // "y" of 1-255 differs from the group
} // namespace QueryVerdict

constexpr uint32_t kStateNoCaller = 0x10000;
constexpr uint32_t kStateWithCaller = 0xF0000;
// Frames larger than this are dropped unanswered.
constexpr size_t kMaxFrameBytes = 64 * 1024;
// The run log keeps at most this much of a received request.
constexpr size_t kLoggedRequestMax = 1024;
// A copy that does not answer within this time counts as answering 0.
constexpr int kReplyTimeoutMs = 5000;
// The reply timeout in use (kReplyTimeoutMs unless a test shortened it).
int ReplyTimeoutMs();
void SetReplyTimeoutMs(int ms);

// The protocol state of this copy (main thread).
struct IpcState {
    std::string OwnClassName = "TMainForm";
    std::string OwnExeName; // full path of the program (UTF-8)
    uint32_t OwnWindow = 0; // process id + 0x10000 once InitCalls ran
    uint32_t InstanceGroup = 15;
    uint32_t InstanceTag = 0;
    uint32_t InstanceState = kStateNoCaller;
    uint32_t CallerWindow = 0;
    uint32_t PrivilegedSender = 0;
    uint32_t* LaunchReplySlot = nullptr;
    std::string StoredQuery = "|";
};
IpcState& Ipc();

// This process's window number: its process id + 0x10000 (process ids in a
// container can be below 32, which the caller test ignores).
uint32_t OwnWindowOfProcess();

// ((h shr 16) xor (h shr 8) xor h xor (h shl 8)) and 0xFF00, or 1 for 0.
uint32_t HandleHash(uint32_t h);

// The handshake: called once by the main window's start before any offer.
void InitCalls(const std::string& options);

// One received message.
struct CopyDataMessage {
    uint32_t sender = 0; // the sender's window (0 when it could not be verified)
    std::string text;
};

// Splits at the first "||": the query keeps the first bar of the pair, the
// rest starts at the second; without "||" the rest is empty.
void SplitQuery(std::string_view text, std::string& query, std::string& rest);

// The receiving half's check; returns the verdict (0 = acceptable) and sets
// `result` to InstanceState OR InstanceGroup OR InstanceTag.
uint32_t CheckQuerySender(const CopyDataMessage& message, std::string& query, std::string& rest,
                          uint32_t& result);

// The main window's handling of a received message: the run-log line, the
// verdict, "_hlt" from the caller, and the decision by program type and data
// set (the published ones).  A taken request is stored and served later from
// the event loop.
struct ReceiveOutcome {
    uint32_t reply = 0;
    bool halt = false; // "_hlt" from the caller: reply, then end the event loop
};
ReceiveOutcome ReceiveQuery(const CopyDataMessage& message);

// Serving a taken request: the main window registers what it does with the
// stored query, and how it comes to the front.
using StoredQueryHandler = std::function<void(const std::string& storedQuery)>;
void SetStoredQueryHandler(StoredQueryHandler handler);
void SetBringToFrontHandler(std::function<void()> handler);
// Queues the serving of StoredQuery to the main thread's event loop.
void PostSelfQuery(uint32_t window);

// Sends one message and returns the reply (0 when nobody answered in time).
// To this copy's own window it runs the handler directly (main thread) or on
// the main thread while the caller waits (another thread; 0 once the main
// thread is shutting down).
uint32_t SendCopyData(const std::string& text, uint32_t window);

// Makes every worker that waits for this copy's main thread (SendCopyData
// from another thread) give up at once with 0, and new waits answer 0, as
// after the event loop's end: the main window's shut-down calls it before it
// waits for the background loader.  ResumeHandOffs undoes it for a new main
// window (tests make several in one process).
void ReleaseHandOffs();
void ResumeHandOffs();

// Prefixes "|y=" + the code (the group, or group OR tag) and offers the text
// to every other copy, newest first, until one takes it; that reply, or 0.
uint32_t OfferQuery(const std::string& query, bool withTag);
inline bool ReplyTaken(uint32_t reply)
{
    return static_cast<int32_t>(reply) >= 0x10000000;
}

// Opens a document or address, or starts a program with an argument list;
// above 32 means started.  The no-activate flag is accepted and ignored.
int ShellOpen(const std::string& file, const std::vector<std::string>& arguments, bool noActivate);
// Starts a program (empty: this one) with "/y=" + OwnWindow before the
// arguments; when started, the next message's sender goes to `replySlot`.
int LaunchWithHandshake(const std::string& program, const std::vector<std::string>& arguments,
                        uint32_t* replySlot, bool noActivate);

// --- The start hand-over ---------------------------------------------------

// Option "b" made absolute when it is a relative file path (a value holding
// "/" or "\"), against the folder given (code page 1250); any other list
// unchanged.
std::string WithAbsoluteListPath(const std::string& options, const std::string& currentFolder);

// Whether a start of this type offers its request: types 3 and 5 unless "nw"
// is given, when NEWWIN is 0 without plain arguments, or NEWWIN is below 2
// with plain arguments or option "b"; types 1, 2, 4, 7, 8 always; 6 never.
bool ShouldOffer(uint8_t programType, std::string_view options, int positionalCount, uint8_t newWindowOption);
// The request of a start, before the "|y=" prefix (empty for type 6).
std::string StartRequestText(uint8_t programType, std::string_view options, std::string_view positionals);
// The group of a data folder: bits 4-11 of the stamp of its "kl.dat".
uint32_t InstanceGroupOfDataDir(const std::string& dataDir);

struct HandOverResult {
    bool taken = false; // another copy took the request: end with exit 0
    uint32_t reply = 0;
    DataSetCode dataSet = DataSetCode::Drugs;
    bool listening = false; // this copy answers requests
};
// What the main window's start does before any window shows: InitCalls, the
// group from the data folder, the data set, listening on the socket, and the
// offer when the rule asks for one.
HandOverResult StartHandOver(const StartValues& start, uint8_t newWindowOption);

// --- Transport -----------------------------------------------------------

// The socket folder with a trailing "/", created when missing; empty (and
// `problem` set) when it is not a folder of mode 0700 owned by this user.
std::string SocketFolder(const EnvLookup& env, std::string* problem = nullptr);
std::string SocketPathOf(const std::string& folder, uint32_t window);
// The sockets of other copies in the folder, newest first.
std::vector<std::string> PeerSockets(const std::string& folder, uint32_t ownWindow);

enum class SendStatus { Ok, Refused, NotFound, TimedOut, Failed };
// One frame to one socket; `reply` is 0 unless the status is Ok.
SendStatus SendFrame(const std::string& socketPath, uint32_t sender, const std::string& text, int timeoutMs,
                     uint32_t& reply);

// Listens on this copy's socket in the folder of the process environment;
// false (and a run-log line) when there is no usable folder.
bool StartIpcServer();
void StopIpcServer();
// Overrides the socket folder (tests); empty restores the environment's.
void SetSocketFolderOverride(std::string folder);
// The folder in use (after the override), empty when unusable.
std::string CurrentSocketFolder();
