#include "support/fake_os.h"
#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include "app/program.h"
#include "base/arena.h"

FakeOs Fake;

namespace {

// Where OsExit lands: the run unwinds nothing on its way out, as with
// ExitProcess, since every stage holds only plain data.
std::jmp_buf ExitJump;
bool Running = false;

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

// CharLowerA under code page 1252.
char Lower(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return (char)(c + 32);
    }
    switch (c) {
    case 0x8A: return (char)0x9A;
    case 0x8C: return (char)0x9C;
    case 0x8E: return (char)0x9E;
    case 0x9F: return (char)0xFF;
    default: return (char)c;
    }
}

// Windows' table for code page 1252 from 0x80 to 0x9F; every other byte is
// the character of the same number.
const char16_t High1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D,
    0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A,
    0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t From1252(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? High1252[byte - 0x80] : byte;
}

// The byte for a character, or nothing when code page 1252 has none.
std::optional<char> To1252(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return (char)c;
    }
    for (int i = 0; i < 32; i++) {
        if (High1252[i] == c) {
            return (char)(0x80 + i);
        }
    }
    return std::nullopt;
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

std::u16string Widen1252(const std::string& bytes)
{
    std::u16string wide;
    for (unsigned char byte : bytes) {
        wide += From1252(byte);
    }
    return wide;
}

std::string Narrow1252(const std::u16string& wide)
{
    std::string bytes;
    for (size_t i = 0; i < wide.size(); i++) {
        bytes += To1252(wide[i]).value_or('?');
        // A character beyond the first 65536 takes two units and is one
        // character: one default character for both.
        if (wide[i] >= 0xD800 && wide[i] < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] < 0xE000) {
            i++;
        }
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

const char* OsCommandLine()
{
    return Fake.CommandLine.c_str();
}

uint32_t OsFullPathName(const char* text, uint32_t size, char* buffer)
{
    Fake.PathCalls++;
    if (Fake.PathCallFails) {
        return 0;
    }
    std::string full = FullPath(text);
    if (full.size() + 1 > size) {
        // The buffer does not hold the path: what is there is no use to
        // anyone, so fill it with something that looks like one.
        if (size > 0) {
            std::memset(buffer, 'X', size - 1);
            buffer[size - 1] = 0;
        }
        return (uint32_t)full.size() + 1;
    }
    std::memcpy(buffer, full.c_str(), full.size() + 1);
    return (uint32_t)full.size();
}

void OsLower(char* text)
{
    for (; *text; text++) {
        *text = Lower((unsigned char)*text);
    }
}

uint32_t OsConsoleTitle(char* buffer, uint32_t size)
{
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
    }
    return (uint32_t)Fake.ConsoleTitle->size();
}

void* OsFindWindow(const char* title)
{
    for (const auto& [name, window] : Fake.Windows) {
        if (name == title) {
            return window;
        }
    }
    return nullptr;
}

void* OsConsoleWindow()
{
    return Fake.ConsoleWindow;
}

void* OsStdHandle(OsStdStream which)
{
    return FakeHandle(which);
}

bool OsWriteConsole(void* handle, const char* bytes, uint32_t length)
{
    return Write(handle, bytes, length, Stream::Console, "console");
}

bool OsWriteFile(void* handle, const char* bytes, uint32_t length)
{
    return Write(handle, bytes, length, Stream::Redirected, "file");
}

void OsSetControlHandler(bool (*handler)(uint32_t))
{
    Fake.ControlHandler = handler;
}

uint32_t OsWiden(const char* bytes, uint32_t length, char16_t* wide, uint32_t capacity)
{
    if (length == 0 || length > capacity) {
        return 0;  // Windows refuses an empty input, and one that does not fit
    }
    for (uint32_t i = 0; i < length; i++) {
        wide[i] = From1252((unsigned char)bytes[i]);
    }
    return length;
}

uint32_t OsNarrow(const char16_t* wide, uint32_t length, char* bytes, uint32_t capacity)
{
    std::string narrow = Narrow1252(std::u16string(wide, length));
    if (length == 0 || narrow.size() > capacity) {
        return 0;
    }
    std::memcpy(bytes, narrow.data(), narrow.size());
    return (uint32_t)narrow.size();
}

uint32_t OsShortPath(const char16_t* path, char16_t* buffer, uint32_t capacity)
{
    std::u16string wanted = WideText(path);
    for (const auto& [name, alias] : Fake.ShortPaths) {
        if (name == wanted) {
            if (alias.size() + 1 > capacity) {
                return (uint32_t)alias.size() + 1;
            }
            std::memcpy(buffer, alias.c_str(), (alias.size() + 1) * sizeof(char16_t));
            return (uint32_t)alias.size();
        }
    }
    return 0;
}

bool OsOpenFileDialog(const OsDialogRequest& request)
{
    SeenRequest seen = {};
    seen.StructSize = request.StructSize;
    seen.Owner = request.Owner;
    if (request.Filter) {
        // Up to and with the empty text that ends the list.
        const char16_t* at = request.Filter;
        while (*at) {
            at += WideText(at).size() + 1;
        }
        seen.Filter = Narrow1252(std::u16string(request.Filter, at + 1));
    }
    seen.FilterIndex = request.FilterIndex;
    seen.File = Narrow1252(WideText(request.File));
    seen.MaxFile = request.MaxFile;
    if (request.InitialDir) {
        seen.InitialDir = Narrow1252(WideText(request.InitialDir));
    }
    if (request.Title) {
        seen.Title = Narrow1252(WideText(request.Title));
        seen.WideTitle = WideText(request.Title);
    }
    seen.Flags = request.Flags;
    Fake.Requests.push_back(seen);

    if (!Fake.Answer && !Fake.WideAnswer) {
        return false;
    }
    std::u16string answer = Fake.WideAnswer ? *Fake.WideAnswer : Widen1252(*Fake.Answer);
    if (answer.size() > request.MaxFile && Fake.DialogOverruns) {
        // Raw writes into whatever follows the buffer, as the dialog's are.
        ArenaUnpoison(reinterpret_cast<char*>(request.File), (ptrdiff_t)(answer.size() * sizeof(char16_t)));
        std::memcpy(request.File, answer.data(), answer.size() * sizeof(char16_t));
        Fake.RequestSpoiled = (request.Title && seen.WideTitle != WideText(request.Title)) ||
                              (request.InitialDir && seen.InitialDir != Narrow1252(WideText(request.InitialDir)));
        return true;
    }
    if (answer.size() > request.MaxFile) {
        // Windows fails and leaves the size it would need in the first
        // unit of the buffer.
        if (request.MaxFile >= 1) {
            request.File[0] = (char16_t)std::min<size_t>(answer.size(), 0xFFFF);
        }
        return false;
    }
    std::memcpy(request.File, answer.data(), answer.size() * sizeof(char16_t));
    return true;
}

OsMemory OsTakeMemory(ptrdiff_t most)
{
    ptrdiff_t size = Fake.MemoryLimit < 0 ? most : std::min(most, Fake.MemoryLimit);
    Fake.MemoryTaken = true;
    if (size <= 0) {
        return OsMemory{};
    }
    // calloc gives untouched pages lazily, as committed memory is on Windows.
    return OsMemory{static_cast<char*>(std::calloc(1, (size_t)size)), size};
}

void OsReleaseMemory(OsMemory memory)
{
    std::free(memory.Base);
    if (memory.Base) {
        Fake.MemoryReleased = true;
    }
}

void OsExit(int32_t status)
{
    Fake.ExitStatus = status;
    if (!Running) {
        std::abort();  // a stage called the exit path outside a run
    }
    std::longjmp(ExitJump, 1);
}
