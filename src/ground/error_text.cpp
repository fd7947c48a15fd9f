// Error texts: the caller's message, a blank line, the description of the
// code and its number.
#include <cstring>

#include "ground/result.h"
#include "ground/system_message.h"

namespace {

constexpr size_t kScratchSize = 1024;

const char kSuccessText[] = "成功しました。\n";
const char kCorruptDataText[] =
    "データが壊れています。\n正常なデータを入手してください。\nハードウェアが故障している場合もあります。\n";

// The program's own codes, recognised by their low word whatever the facility.
const char* OwnResultText(HRESULT code)
{
    switch (static_cast<uint32_t>(code) & 0xFFFFu) {
    case 0x1000:
        return kSuccessText;
    case 0x1001:
        return kCorruptDataText;
    default:
        return nullptr;
    }
}

}  // namespace

bool DescribeResult(HRESULT code, size_t size, char* text)
{
    if (text == nullptr || size == 0)
        return false;
    if (const char* own = OwnResultText(code)) {
        CopyTruncated(text, size, own);
        if (size <= kMaxBoundedSize)
            AppendBounded(text, size, "\n");
        return true;
    }
    char message[kScratchSize];
    if (GetSystemMessage(code, message, sizeof message)) {
        CopyTruncated(text, size, message);
        return true;
    }
    text[0] = '\0';
    return false;
}

void ComposeErrorTextV(size_t size, char* text, HRESULT code, const char* format, va_list args)
{
    if (text == nullptr || size == 0 || size > kMaxBoundedSize)
        return;
    // Every step is bounded; what does not fit is cut and composition goes on.
    text[0] = '\0';
    if (format != nullptr) {
        FormatBoundedV(text, size, format, args);
        AppendBounded(text, size, "\n\n");
    }
    char scratch[kScratchSize];
    if (DescribeResult(code, sizeof scratch, scratch))
        AppendBounded(text, size, scratch);
    if (OwnResultText(code) == nullptr) {
        FormatBounded(scratch, sizeof scratch, "HRESULT: 0x%08lx",
                      static_cast<unsigned long>(static_cast<uint32_t>(code)));
        AppendBounded(text, size, scratch);
    }
}

void ComposeErrorText(size_t size, char* text, HRESULT code, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    ComposeErrorTextV(size, text, code, format, args);
    va_end(args);
}
