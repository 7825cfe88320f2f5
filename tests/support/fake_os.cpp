#include "support/fake_os.h"
#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include "app/program.h"
#include "base/arena.h"
#include "base/settings.h"

FakeOs Fake;

namespace {

// Where OsExit lands: the run unwinds nothing on its way out, as with
// ExitProcess, since every stage holds only plain data.
std::jmp_buf ExitJump;
bool Running = false;

// The reservation of the current run, which commits are counted against.
char* Reserved;
ptrdiff_t ReservedSize;

constexpr ptrdiff_t PageSize = 4096;

void Called(const char* call)
{
    Fake.Calls.push_back(call);
}

// A fault that nothing handles: Windows ends the process with the fault's
// code as its status, and takes back all that it had.
[[noreturn]] void Crash()
{
    Fake.ExitStatus = (int32_t)0xC0000005;  // STATUS_ACCESS_VIOLATION
    munmap(Reserved, (size_t)ReservedSize);
    Fake.MemoryReleased = true;
    std::longjmp(ExitJump, 1);
}

// A write up to `to` that does not go through the arena, as the system's
// code makes it: the first page past the committed part that it reaches
// faults, unless pages commit on touch there. The arena commits from the
// reservation's start on, so every page past that part is not committed.
void Touch(char* to)
{
    for (char* page = Reserved + Fake.Committed; page < to; page += PageSize) {
        if (page < Fake.TouchFrom || page >= Fake.TouchTo || !OsCommitMemory(page, PageSize)) {
            Crash();
        }
    }
}

// What a call leaves in a caller's buffer after all it promises to write:
// never the zeros that the buffer may have held, so that nothing can lean
// on them. (Wine leaves a "." of its own after GetFullPathNameW's NUL.)
template <typename Unit>
void Junk(Unit* from, Unit* to)
{
    std::fill(from, to, (Unit)'.');
}

int StreamIndex(OsStdStream which)
{
    return which == OsStdInput ? 0 : which == OsStdOutput ? 1 : 2;
}

// Distinct made-up values, as a parent's handles would be.
char HandleTokens[3];
void* const InvalidHandle = reinterpret_cast<void*>(static_cast<intptr_t>(-1));

const OsStdStream AllStreams[3] = {OsStdInput, OsStdOutput, OsStdError};

std::optional<OsStdStream> StreamOf(void* handle)
{
    for (int i = 0; i < 3; i++) {
        if (handle == &HandleTokens[i]) {
            return AllStreams[i];
        }
    }
    return std::nullopt;
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// What Windows does to a full path after merging: slashes become
// backslashes, "." and ".." components go, and the last component loses its
// trailing dots and blanks. `rootLength` bytes at the front are never
// removed by "..".
std::string Fold(const std::string& path, size_t rootLength)
{
    std::string root = path.substr(0, rootLength);
    for (char& c : root) {
        if (c == '/') {
            c = '\\';
        }
    }
    std::vector<std::string> parts;
    std::string part;
    bool endsInSeparator = path.size() > rootLength && IsSeparator(path.back());
    for (size_t i = rootLength; i <= path.size(); i++) {
        if (i == path.size() || IsSeparator(path[i])) {
            if (part == "..") {
                if (!parts.empty()) {
                    parts.pop_back();
                }
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += path[i];
        }
    }
    if (!endsInSeparator && !parts.empty()) {
        std::string& last = parts.back();
        while (!last.empty() && (last.back() == '.' || last.back() == ' ')) {
            last.pop_back();
        }
    }
    std::string full = root;
    for (size_t i = 0; i < parts.size(); i++) {
        if (i > 0) {
            full += '\\';
        }
        full += parts[i];
    }
    if (endsInSeparator && !parts.empty()) {
        full += '\\';
    }
    return full;
}

// GetFullPathNameA's merging, as documented: UNC and drive-rooted paths
// stand; "\x" is rooted on the current drive; "X:x" is relative to that
// drive's directory (C:'s is CurrentDir, every other drive's its root); the
// rest is relative to CurrentDir.
std::string FullPath(const std::string& text)
{
    if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
        size_t shareEnd = 2;
        for (int separators = 0; shareEnd < text.size(); shareEnd++) {
            if (IsSeparator(text[shareEnd]) && ++separators == 2) {
                break;
            }
        }
        return Fold(text, shareEnd < text.size() ? shareEnd + 1 : text.size());
    }
    bool drive = text.size() >= 2 && text[1] == ':';
    if (drive && text.size() >= 3 && IsSeparator(text[2])) {
        return Fold(text, 3);
    }
    if (!text.empty() && IsSeparator(text[0])) {
        return Fold(Fake.CurrentDir.substr(0, 2) + "\\" + text.substr(1), 3);
    }
    std::string base = Fake.CurrentDir;
    std::string rest = text;
    if (drive) {
        bool currentDrive = (text[0] | 0x20) == (Fake.CurrentDir[0] | 0x20);
        base = currentDrive ? Fake.CurrentDir : text.substr(0, 2) + "\\";
        rest = text.substr(2);
    }
    if (rest.empty()) {
        return Fold(base, 3);
    }
    if (base.back() != '\\') {
        base += '\\';
    }
    return Fold(base + rest, 3);
}

// CharLowerW, for the letters that the tests use: ASCII, Latin-1 and the
// few others of code page 1252.
char16_t Lower(char16_t c)
{
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return (char16_t)(c + 32);
    }
    switch (c) {
    case 0x160: return 0x161;
    case 0x152: return 0x153;
    case 0x17D: return 0x17E;
    case 0x178: return 0xFF;
    case 0x141: return 0x142;
    default: return c;
    }
}

// Windows' table for code page 1252 from 0x80 to 0x9F; every other byte is
// the character of the same number.
const char16_t High1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D,
    0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A,
    0x0153, 0x009D, 0x017E, 0x0178,
};

// The double-byte characters of code page 932 that the tests use, with
// Windows' bytes for them. Several have a backslash (0x5C) as their second
// byte, which is what makes the code page a trap.
const std::pair<char16_t, uint16_t> Table932[] = {
    {u'\u8868', 0x955C},  // 表
    {u'\u4E00', 0x88EA},  // 一
    {u'\u89A7', 0x9797},  // 覧
    {u'\u30BD', 0x835C},  // ソ
    {u'\u80FD', 0x945C},  // 能
    {u'\u76EE', 0x96DA},  // 目
    {u'\u4E2D', 0x9286},  // 中
    {u'\u6587', 0x95B6},  // 文
    {u'\u3042', 0x82A0},  // あ
};

// Bytes 0x80 and up of the OEM code pages 437 and 850, as far as the tests
// use them; they agree on these.
const std::pair<char16_t, uint8_t> TableOem[] = {
    {0xFC, 0x81}, {0xE9, 0x82}, {0xE2, 0x83}, {0xE4, 0x84}, {0xE0, 0x85}, {0xE8, 0x8A}, {0xC9, 0x90}, {0xFA, 0xA3},
};

bool IsLead932(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// One character of a code page: its units from `bytes` at `at`, moving on.
std::u16string WidenOne(uint32_t codePage, const std::string& bytes, size_t& at)
{
    unsigned char byte = (unsigned char)bytes[at++];
    if (byte < 0x80) {
        return std::u16string(1, byte);
    }
    switch (codePage) {
    case 1252:
        return std::u16string(1, byte < 0xA0 ? High1252[byte - 0x80] : byte);
    case 932:
        // A lead byte takes the next byte only where that can be a second
        // byte at all; a blank or a quote after it stays itself.
        if (IsLead932(byte) && at < bytes.size() && (unsigned char)bytes[at] >= 0x40 && bytes[at] != 0x7F) {
            uint16_t pair = (uint16_t)(byte << 8 | (unsigned char)bytes[at++]);
            for (const auto& [c, code] : Table932) {
                if (code == pair) {
                    return std::u16string(1, c);
                }
            }
        }
        return u"\u30FB";  // what Windows makes of a pair it has no character for
    case 437:
    case 850:
        for (const auto& [c, code] : TableOem) {
            if (code == byte) {
                return std::u16string(1, c);
            }
        }
        return u"?";
    case 65001: {
        // A valid sequence gives its character; every byte of an invalid
        // one gives U+FFFD.
        int more = byte >= 0xF0 && byte < 0xF5 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC2 && byte < 0xE0 ? 1 : -1;
        uint32_t c = more == 3 ? byte & 7 : more == 2 ? byte & 15 : byte & 31;
        size_t start = at;
        for (int i = 0; i < more; i++) {
            if (at == bytes.size() || ((unsigned char)bytes[at] & 0xC0) != 0x80) {
                more = -1;
                break;
            }
            c = c << 6 | ((unsigned char)bytes[at++] & 0x3F);
        }
        bool overlong = (more == 2 && c < 0x800) || (more == 3 && (c < 0x10000 || c > 0x10FFFF));
        if (more < 0 || overlong || (c >= 0xD800 && c < 0xE000)) {
            at = start;
            return u"\uFFFD";
        }
        if (c < 0x10000) {
            return std::u16string(1, (char16_t)c);
        }
        c -= 0x10000;
        return {(char16_t)(0xD800 + (c >> 10)), (char16_t)(0xDC00 + (c & 0x3FF))};
    }
    default:
        return u"?";
    }
}

// The bytes of one character (one unit, or a surrogate pair) in a code page,
// or nothing when it has none there.
std::optional<std::string> NarrowOne(uint32_t codePage, uint32_t c)
{
    if (c < 0x80) {
        return std::string(1, (char)c);
    }
    switch (codePage) {
    case 1252:
        if (c >= 0xA0 && c <= 0xFF) {
            return std::string(1, (char)c);
        }
        for (int i = 0; i < 32; i++) {
            if (High1252[i] == c) {
                return std::string(1, (char)(0x80 + i));
            }
        }
        return std::nullopt;
    case 932:
        for (const auto& [wide, code] : Table932) {
            if (wide == c) {
                return std::string{(char)(code >> 8), (char)(code & 0xFF)};
            }
        }
        return std::nullopt;
    case 437:
    case 850:
        for (const auto& [wide, code] : TableOem) {
            if (wide == c) {
                return std::string(1, (char)code);
            }
        }
        return std::nullopt;
    case 65001:
        if (c >= 0xD800 && c < 0xE000) {
            return std::nullopt;  // a lone surrogate
        }
        if (c < 0x800) {
            return std::string{(char)(0xC0 | c >> 6), (char)(0x80 | (c & 0x3F))};
        }
        if (c < 0x10000) {
            return std::string{(char)(0xE0 | c >> 12), (char)(0x80 | (c >> 6 & 0x3F)), (char)(0x80 | (c & 0x3F))};
        }
        return std::string{(char)(0xF0 | c >> 18), (char)(0x80 | (c >> 12 & 0x3F)), (char)(0x80 | (c >> 6 & 0x3F)),
                           (char)(0x80 | (c & 0x3F))};
    default:
        return std::nullopt;
    }
}

std::u16string WideText(const char16_t* text)
{
    return text ? std::u16string(text) : std::u16string();
}

bool Write(void* handle, const char* bytes, uint32_t length, Stream succeedsOn, const char* via)
{
    std::optional<OsStdStream> which = StreamOf(handle);
    bool done = which && Fake.Streams[StreamIndex(*which)] == succeedsOn;
    Fake.Writes.push_back({which, via, std::string(bytes, length), done});
    return done;
}

}  // namespace

std::u16string FakeWiden(uint32_t codePage, const std::string& bytes)
{
    std::u16string wide;
    for (size_t at = 0; at < bytes.size();) {
        wide += WidenOne(codePage, bytes, at);
    }
    return wide;
}

std::string FakeNarrow(uint32_t codePage, const std::u16string& wide)
{
    std::string bytes;
    for (size_t i = 0; i < wide.size(); i++) {
        uint32_t c = wide[i];
        // A character beyond the first 65536 takes two units and is one
        // character: one default character for both.
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
        }
        // UTF-8 has a form for everything but a lone surrogate, which
        // becomes U+FFFD's; elsewhere the default character stands in.
        bytes += NarrowOne(codePage, c).value_or(codePage == 65001 ? "\xEF\xBF\xBD" : "?");
    }
    return bytes;
}

void ResetFake()
{
    Fake = FakeOs{};
}

void* FakeHandle(OsStdStream which)
{
    switch (Fake.Streams[StreamIndex(which)]) {
    case Stream::Missing: return nullptr;
    case Stream::Invalid: return InvalidHandle;
    default: return &HandleTokens[StreamIndex(which)];
    }
}

std::string Written(OsStdStream which)
{
    std::string bytes;
    for (const FakeWrite& write : Fake.Writes) {
        if (write.To == which && write.Done) {
            bytes += write.Bytes;
        }
    }
    return bytes;
}

int32_t RunFake()
{
    if (setjmp(ExitJump) == 0) {
        Running = true;
        RunProgram();
    }
    Running = false;
    return *Fake.ExitStatus;
}

// --- The seam ------------------------------------------------------------

void OsRestrictLibrarySearch()
{
    Called(__func__);
}

const char16_t* OsWideCommandLine()
{
    Called(__func__);
    if (!Fake.WideCommandLine) {
        Fake.WideCommandLine = FakeWiden(Fake.AnsiCodePage, Fake.CommandLine);
    }
    return Fake.WideCommandLine->c_str();
}

uint32_t OsFullPathName(const char16_t* text, uint32_t size, char16_t* buffer)
{
    Called(__func__);
    Fake.PathCalls++;
    if (Fake.PathCallFails) {
        return 0;
    }
    // The merging looks only at separators, dots and blanks, which UTF-8
    // keeps as they are.
    std::u16string full = FakeWiden(65001, FullPath(FakeNarrow(65001, text)));
    if (full.size() + 1 > size) {
        // The buffer does not hold the path: what is there is no use to
        // anyone, so fill it with something that looks like one.
        if (size > 0) {
            std::fill(buffer, buffer + size - 1, u'X');
            buffer[size - 1] = 0;
        }
        return (uint32_t)full.size() + 1;
    }
    std::copy(full.c_str(), full.c_str() + full.size() + 1, buffer);
    Junk(buffer + full.size() + 1, buffer + size);
    return (uint32_t)full.size();
}

void OsLower(char16_t* text)
{
    Called(__func__);
    for (; *text; text++) {
        *text = Lower(*text);
    }
}

uint32_t OsConsoleTitle(char* buffer, uint32_t size)
{
    Called(__func__);
    if (!Fake.ConsoleTitle) {
        return 0;
    }
    // A title that does not fit comes back cut, and (as on some versions of
    // Windows) without a NUL when it fills the buffer. An empty title reads
    // as 0, like a failure.
    size_t length = std::min<size_t>(Fake.ConsoleTitle->size(), size);
    std::memcpy(buffer, Fake.ConsoleTitle->data(), length);
    if (length < size) {
        buffer[length] = 0;
        Junk(buffer + length + 1, buffer + size);
    }
    return (uint32_t)Fake.ConsoleTitle->size();
}

void* OsFindWindow(const char* title)
{
    Called(__func__);
    for (const auto& [name, window] : Fake.Windows) {
        if (name == title) {
            return window;
        }
    }
    return nullptr;
}

void* OsConsoleWindow()
{
    Called(__func__);
    return Fake.ConsoleWindow;
}

void* OsStdHandle(OsStdStream which)
{
    Called(__func__);
    return FakeHandle(which);
}

bool OsWriteConsole(void* handle, const char* bytes, uint32_t length)
{
    Called(__func__);
    return Write(handle, bytes, length, Stream::Console, "console");
}

bool OsWriteFile(void* handle, const char* bytes, uint32_t length)
{
    Called(__func__);
    return Write(handle, bytes, length, Stream::Redirected, "file");
}

void OsSetControlHandler(bool (*handler)(uint32_t))
{
    Called(__func__);
    Fake.ControlHandler = handler;
}

uint32_t OsAnsiCodePage()
{
    Called(__func__);
    return Fake.AnsiCodePage;
}

uint32_t OsConsoleCodePage()
{
    Called(__func__);
    return Fake.ConsoleCodePage;
}

uint32_t OsWiden(uint32_t codePage, const char* bytes, uint32_t length, char16_t* wide, uint32_t capacity)
{
    Called(__func__);
    codePage = codePage ? codePage : Fake.AnsiCodePage;  // CP_ACP
    std::u16string units = FakeWiden(codePage, std::string(bytes, length));
    if (length == 0 || units.size() > capacity) {
        return 0;  // Windows refuses an empty input, and one that does not fit
    }
    std::copy(units.begin(), units.end(), wide);
    Junk(wide + units.size(), wide + capacity);
    return (uint32_t)units.size();
}

uint32_t OsNarrow(uint32_t codePage, const char16_t* wide, uint32_t length, char* bytes, uint32_t capacity)
{
    Called(__func__);
    codePage = codePage ? codePage : Fake.AnsiCodePage;  // CP_ACP
    std::string narrow = FakeNarrow(codePage, std::u16string(wide, length));
    if (length == 0 || narrow.size() > capacity) {
        return 0;
    }
    std::memcpy(bytes, narrow.data(), narrow.size());
    Junk(bytes + narrow.size(), bytes + capacity);
    return (uint32_t)narrow.size();
}

uint32_t OsShortPath(const char16_t* path, char16_t* buffer, uint32_t capacity)
{
    Called(__func__);
    std::u16string wanted = WideText(path);
    std::optional<std::u16string> found;
    for (const auto& [name, alias] : Fake.ShortPaths) {
        if (name == wanted && !found) {
            found = alias;
        }
    }
    if (!found && Fake.ShortPathRule) {
        found = Fake.ShortPathRule(wanted);
    }
    if (!found) {
        return 0;
    }
    if (found->size() + 1 > capacity) {
        return (uint32_t)found->size() + 1;
    }
    std::memcpy(buffer, found->c_str(), (found->size() + 1) * sizeof(char16_t));
    Junk(buffer + found->size() + 1, buffer + capacity);
    return (uint32_t)found->size();
}

bool OsIsWow64()
{
    Called(__func__);
    return Fake.Wow64;
}

OsRedirection OsRealPath(const char16_t* path, char16_t* buffer)
{
    Called(__func__);
    std::u16string wanted = WideText(path);
    auto file = std::find_if(Fake.Files.begin(), Fake.Files.end(), [&](const auto& f) { return f.Path == wanted; });
    if (!Fake.Wow64 || file == Fake.Files.end() || file->Seen == 0) {
        return OsNoSuchFile;  // outside WoW64 nothing is redirected, and the caller breaks the contract
    }
    if (file->Native == file->Seen) {
        return OsSameFile;
    }
    auto final = std::find_if(Fake.FinalPaths.begin(), Fake.FinalPaths.end(),
                              [&](const auto& f) { return f.first == file->Seen; });
    if (final == Fake.FinalPaths.end()) {
        return OsCannotTell;
    }
    std::memcpy(buffer, final->second.c_str(), (final->second.size() + 1) * sizeof(char16_t));
    Junk(buffer + final->second.size() + 1, buffer + OsLongestPath);
    return OsOtherFile;
}

namespace {

// Records the request as the dialog got it.
void Record(const OsDialogRequest& request, const char* call)
{
    SeenRequest seen = {};
    seen.Call = call;
    if (request.DefExt) {
        seen.DefExt = Narrow1252(request.DefExt);
    }
    seen.StructSize = request.StructSize;
    seen.Owner = request.Owner;
    if (request.Filter) {
        // Up to and with the empty text that ends the list.
        const char16_t* at = request.Filter;
        while (*at) {
            at += WideText(at).size() + 1;
        }
        seen.WideFilter = std::u16string(request.Filter, at + 1);
        seen.Filter = Narrow1252(seen.WideFilter);
    }
    seen.FilterIndex = request.FilterIndex;
    seen.WideFile = WideText(request.File);
    seen.File = Narrow1252(seen.WideFile);
    seen.MaxFile = request.MaxFile;
    if (request.InitialDir) {
        seen.WideInitialDir = WideText(request.InitialDir);
        seen.InitialDir = Narrow1252(seen.WideInitialDir);
    }
    if (request.Title) {
        seen.Title = Narrow1252(WideText(request.Title));
        seen.WideTitle = WideText(request.Title);
    }
    seen.Flags = request.Flags;
    Fake.Requests.push_back(seen);
}

// OPENFILENAMEW's two sizes: without and with its three trailing fields.
bool KnownRecordSize(uint32_t size)
{
    return size == 76 || size == 88;
}

// CDERR_STRUCTSIZE: "The lStructSize member of the initialization structure
// for the corresponding common dialog box is invalid."
constexpr uint32_t StructSizeError = 0x0001;

OsDialogResult FileDialog(const OsDialogRequest& request, const char* call)
{
    Record(request, call);
    const SeenRequest& seen = Fake.Requests.back();
    if (!KnownRecordSize(request.StructSize)) {
        return {OsFailed, StructSizeError};
    }
    if (Fake.DialogError) {
        return {OsFailed, Fake.DialogError};
    }
    if (!Fake.Answer && !Fake.WideAnswer) {
        return {OsCancelled, 0};
    }
    if (!Fake.WideAnswer) {
        Fake.WideAnswer = Widen1252(*Fake.Answer);
    }
    // Held by Fake, so that a fault can end the run with nothing here to
    // destroy.
    const std::u16string& answer = *Fake.WideAnswer;
    if (answer.size() > request.MaxFile && Fake.DialogOverruns) {
        // Raw writes into whatever follows the buffer, as the dialog's are.
        char* from = reinterpret_cast<char*>(request.File);
        ptrdiff_t size = (ptrdiff_t)(answer.size() * sizeof(char16_t));
        Touch(from + size);
        // The system is not instrumented: what it writes is no overflow.
        ArenaUnpoison(from, size);
        std::memcpy(request.File, answer.data(), answer.size() * sizeof(char16_t));
        Fake.RequestSpoiled = (request.Title && seen.WideTitle != WideText(request.Title)) ||
                              (request.InitialDir && seen.WideInitialDir != WideText(request.InitialDir));
        return {OsChosen, 0};
    }
    if (answer.size() > request.MaxFile) {
        // Windows fails with FNERR_BUFFERTOOSMALL and leaves the size it
        // would need in the first unit of the buffer.
        if (request.MaxFile >= 1) {
            request.File[0] = (char16_t)std::min<size_t>(answer.size(), 0xFFFF);
        }
        return {OsTooLong, OsBufferTooSmall};
    }
    std::memcpy(request.File, answer.data(), answer.size() * sizeof(char16_t));
    return {OsChosen, 0};
}

}  // namespace

OsDialogResult OsOpenFileDialog(const OsDialogRequest& request)
{
    Called(__func__);
    return FileDialog(request, "open");
}

OsDialogResult OsSaveFileDialog(const OsDialogRequest& request)
{
    Called(__func__);
    return FileDialog(request, "save");
}

namespace {

// The item dialog's paths, held here while they go into the arena: running
// out of it there ends the run at once, with nothing on the stack to
// destroy.
std::vector<std::u16string> ItemPaths;

// The classic layout taken apart, as the item dialog would hand it back:
// the one text, or with several allowed, the folder joined to each name
// after it.
std::vector<std::u16string> PathsOf(const std::u16string& answer, bool several)
{
    std::vector<std::u16string> texts;
    for (size_t at = 0; at < answer.size() && (texts.empty() || answer[at]);) {
        size_t end = std::min(answer.find(u'\0', at), answer.size());
        texts.push_back(answer.substr(at, end - at));
        at = end + 1;
    }
    if (texts.empty()) {
        texts.push_back(u"");
    }
    std::vector<std::u16string> paths = {texts[0]};
    if (texts.size() > 1 && several) {
        paths.clear();
        bool separator = !texts[0].empty() && texts[0].back() == u'\\';
        for (size_t i = 1; i < texts.size(); i++) {
            paths.push_back(texts[0] + (separator ? u"" : u"\\") + texts[i]);
        }
    }
    return paths;
}

}  // namespace

OsDialogResult OsItemDialog(const OsItemRequest& request, Arena& arena, OsItems& chosen)
{
    Called(__func__);
    if (Fake.NoItemDialog) {
        return {OsNoItemDialog, 0};
    }
    {
        // Recorded in the classic dialog's terms: the types as its filter list.
        std::u16string filter;
        for (uint32_t i = 0; i < request.TypeCount; i++) {
            filter += WideText(request.Types[i].Name) + u'\0' + WideText(request.Types[i].Patterns) + u'\0';
        }
        filter += u'\0';
        OsDialogRequest seen = {};
        seen.Owner = request.Owner;
        seen.Filter = filter.c_str();
        seen.FilterIndex = request.TypeCount ? request.TypeIndex : 0;
        seen.InitialDir = request.Folder;
        seen.Title = request.Title;
        seen.File = const_cast<char16_t*>(request.Name);
        seen.Flags = request.Options;
        seen.DefExt = request.DefaultExtension;
        bool picker = request.Options & FosPickFolders;
        Record(seen, picker ? "folder" : request.Class == OsItemSave ? "save" : "open");
        Fake.Requests.back().Item = true;
    }
    if (Fake.DialogError) {
        return {OsFailed, Fake.DialogError};
    }
    if (!Fake.Answer && !Fake.WideAnswer) {
        return {OsCancelled, 0};
    }
    ItemPaths = PathsOf(Fake.WideAnswer ? *Fake.WideAnswer : Widen1252(*Fake.Answer),
                        request.Options & OfnAllowMultiSelect);
    // E_INVALIDARG: what a path is asked of an item that has none.
    if (Fake.NoFileSystemPath) {
        ItemPaths.resize(1);
    }
    chosen.Count = (uint32_t)ItemPaths.size();
    chosen.Paths = New<const char16_t*>(arena, chosen.Count);
    for (uint32_t i = 0; i < chosen.Count; i++) {
        char16_t* copy = New<char16_t>(arena, (ptrdiff_t)ItemPaths[i].size() + 1);
        std::copy(ItemPaths[i].begin(), ItemPaths[i].end(), copy);
        chosen.Paths[i] = copy;
    }
    return Fake.NoFileSystemPath ? OsDialogResult{OsNoPath, 0x80070057} : OsDialogResult{OsChosen, 0};
}

OsDesktop OsWindowStation()
{
    Called(__func__);
    return Fake.Desktop;
}

OsMemory OsReserveMemory(ptrdiff_t most)
{
    Called(__func__);
    Fake.MemoryTaken = true;
    if (Fake.AddressSpace >= 0 && most > Fake.AddressSpace) {
        return OsMemory{};
    }
    // Address space only, as on Windows: a page that is not committed
    // cannot be touched.
    void* base = mmap(nullptr, (size_t)most, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) {
        return OsMemory{};
    }
    Reserved = static_cast<char*>(base);
    ReservedSize = most;
    return OsMemory{Reserved, most};
}

bool OsCommitMemory(char* at, ptrdiff_t size)
{
    Called(__func__);
    // Committing what is committed already charges nothing more.
    ptrdiff_t committed = std::max(Fake.Committed, at + size - Reserved);
    if (Fake.MemoryLimit >= 0 && committed > Fake.MemoryLimit) {
        return false;
    }
    Fake.Committed = committed;
    return mprotect(at, (size_t)size, PROT_READ | PROT_WRITE) == 0;
}

void OsCommitOnTouch(char* from, char* to)
{
    Called(__func__);
    Fake.TouchFrom = from;
    Fake.TouchTo = to;
}

void OsEndCommitOnTouch()
{
    Called(__func__);
    Fake.TouchFrom = nullptr;
    Fake.TouchTo = nullptr;
}

void OsReleaseMemory(OsMemory memory)
{
    Called(__func__);
    if (Fake.StrayWrite && !Fake.Requests.empty()) {
        Touch(Reserved + Fake.Committed + 1);
    }
    if (memory.Base) {
        munmap(memory.Base, (size_t)memory.Size);
        Fake.MemoryReleased = true;
    }
}

void OsExit(int32_t status)
{
    Called(__func__);
    Fake.ExitStatus = status;
    if (!Running) {
        std::abort();  // a stage called the exit path outside a run
    }
    std::longjmp(ExitJump, 1);
}
