// Extraction of the payload archives into the destination directory, with
// the overwrite policy and the copy-method question (Win32).
#pragma once

#include <windows.h>

#include <cstdint>

#include "archive/lh5_decoder.h"
#include "archive/member_header.h"
#include "ground/growable_array.h"

class InstallLog;

// The mode applied to a member whose existing copy differs. Any value other
// than Skip and ReplaceUnlessNewer acts as Replace.
enum class CopyMode : int {
    Skip = 0,
    ReplaceUnlessNewer = 1,
    Replace = 2,
};

// What the pass before the extraction decided for each file member, in
// archive order: written or passed over, and whether a file was there to
// replace. As many as the archive holds.
class ExtractPlan {
public:
    // E_OUTOFMEMORY when there is no room for one more.
    HRESULT Add(bool write, bool replaces)
    {
        const unsigned char member = static_cast<unsigned char>((write ? kWrites : 0) | (replaces ? kReplaces : 0));
        return members_.Add(member) ? S_OK : E_OUTOFMEMORY;
    }
    void Clear() { members_.Clear(); }
    uint32_t Count() const { return static_cast<uint32_t>(members_.Count()); }
    bool Writes(uint32_t index) const { return (members_[index] & kWrites) != 0; }
    bool Replaces(uint32_t index) const { return (members_[index] & kReplaces) != 0; }

private:
    static constexpr unsigned char kWrites = 1;
    static constexpr unsigned char kReplaces = 2;
    GrowableArray<unsigned char> members_;
};

// Settings for one archive; the dialog's answers are written back here so
// they govern the remaining members of the same archive.
struct ExtractContext {
    HWND owner;         // owner of the copy-method dialog
    CopyMode copyMode;  // the dialog's preselected choice
    bool doNotAsk;      // apply copyMode without showing the dialog
    InstallLog* log;    // written files and created directories, or none
    // The extraction writes the members as planned (PlanMembers) and asks
    // nobody; it needs a plan of the same archive.
    const ExtractPlan* plan = nullptr;
    // When given (PATH_BUFFER_SIZE bytes), where a failed extraction on
    // Windows 9x left the user's original of a file it could not put back.
    char* preservedOriginal = nullptr;
    // When given: a file of this product that a run stopped dead may have
    // left half-written (it looks newer than its member). It is replaced
    // without asking.
    const char* unfinishedFile = nullptr;
};

// Upper-case extensions, 5-byte slots, ended by an empty slot: members with
// these extensions are always written, whatever exists already.
constexpr int ALWAYS_REPLACE_SLOTS = 24;
extern const char AlwaysReplaceExtensions[ALWAYS_REPLACE_SLOTS][5];

// extension: the text after the dot (no dot); compared ignoring case.
bool IsAlwaysReplacedExtension(const char* extension);

// The archive in resource (type "lzh", id) of the program's own module,
// extracted as context->plan says (E_INVALIDARG without a plan).
HRESULT ExtractArchiveResource(ExtractContext* context, int resourceId, const char* destinationDirectory);
// The whole archive in that resource checked without writing anything,
// against the sum the build stored as resource (type "lzhsum", same id):
// S_OK, or E_CORRUPT_DATA for any damage and for a missing resource.
HRESULT VerifyArchiveResource(int resourceId);
HRESULT ExtractMembers(ExtractContext* context, const char* destinationDirectory,
                       const unsigned char* archiveBytes, uint32_t archiveSize);
// Before anything changes: asks the copy-method questions as the extraction
// would (answers stored in context) and checks that every existing file to
// be replaced can be replaced now. The plan then drives the extraction.
HRESULT PlanArchiveResource(ExtractContext* context, int resourceId, const char* destinationDirectory,
                            ExtractPlan* plan);
HRESULT PlanMembers(ExtractContext* context, const char* destinationDirectory, const unsigned char* archiveBytes,
                    uint32_t archiveSize, ExtractPlan* plan);
