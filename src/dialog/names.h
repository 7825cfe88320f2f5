#pragma once
#include <stdint.h>
#include "base/arena.h"
#include "os/os.h"

// From what the dialog leaves in its buffer to names that the line can
// carry: decoded in UTF-16, then each converted once into the line's code
// page.

// Full names: each is Folder, one separator when AddSeparator (the folder
// does not end in a backslash already), and one of Names. Count is 0 and
// Message set when there is nothing that can be written, and why.
template <typename Unit>
struct FullNames {
    const Unit* Folder;
    ptrdiff_t FolderLength;
    bool AddSeparator;
    const Unit** Names;
    ptrdiff_t* NameLengths;
    ptrdiff_t Count;
    const char16_t* Message;
};

// The dialog's choice, in UTF-16. A single name is split at its last
// separator, so that one or several are one case.
using Selection = FullNames<char16_t>;

// The same full names as bytes of the line's code page.
using LineNames = FullNames<char>;

// Decodes the `chars` units that the dialog left in `buffer`, never reading
// past them. `multiple`: the request allowed several names. A list that
// does not end within the buffer was cut, and is no choice.
Selection DecodeSelection(const char16_t* buffer, ptrdiff_t chars, bool multiple, Arena& arena);

// The item dialog's choice, `items.Count` (at least one) full paths. When
// they all lie in the first one's folder, or below it, that is the folder
// and the rest of each is its name, laid out as the classic dialog's choice
// would be; else, as search results may be, each is a name whole, with no
// folder.
Selection ItemSelection(const OsItems& items, Arena& arena);

// In a 32-bit run on 64-bit Windows, every full name as the file that the
// dialog showed: a name that a 64-bit program opens as that same file
// stays; any other becomes that file's final path, and a name that does
// not exist is judged by its nearest folder that does, and keeps the rest.
// When that cannot be told of some name, nothing is written: Message
// names it. Elsewhere, and when every name stays, `selection` itself.
Selection RealNames(const Selection& selection, Arena& arena);

// Converts every full name into `codePage`: exactly where the code page
// holds it; else with the 8.3 alias of just the components that need one
// (the folder's asked once for the whole list; a name that does not exist
// yet keeps its last component where that converts exactly); else not at
// all, and Message, `refusal` followed by the full name, names the first
// name that cannot be written. All names or none.
LineNames NamesForLine(const Selection& selection, uint32_t codePage, const char* refusal, Arena& arena);

extern const char SelectionTooLong[];
