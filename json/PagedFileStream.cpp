#include "PagedFileStream.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "MemChunkBuffer.h"
#include "TextFileReader.h"

// The stream's index lives in the runtime's next-character field (the runtime's lexer copies
// that field into token start indexes), the start of the current line in its current-line field.
namespace {
// The runtime's record is the first member of ours.
PagedFileStream* StreamOf(pANTLR3_INT_STREAM intStream)
{
    return reinterpret_cast<PagedFileStream*>(static_cast<pANTLR3_INPUT_STREAM>(intStream->super));
}

int64_t IndexOf(const PagedFileStream* s)
{
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(s->input.nextChar));
}

void SetIndex(PagedFileStream* s, int64_t index)
{
    s->input.nextChar = reinterpret_cast<void*>(static_cast<intptr_t>(index));
}

bool HasBlock(const PagedFileStream* s)
{
    return s->first != kNoCheckpoint;
}

IndexNode& NodeAt(PagedFileStream* s, size_t pos)
{
    return *s->reader->GetCheckpoint(pos);
}

// The checkpoint list ends with the end-of-file checkpoint, which has no block.
bool IsEndCheckpoint(const PagedFileStream* s, size_t pos)
{
    return pos + 1 >= s->reader->GetIndex().size();
}

int64_t BlockLength(const std::u16string* text)
{
    return static_cast<int64_t>(text->size());
}

void NoteMemory(PagedFileStream* s, size_t extraUnits = 0)
{
    const uint64_t bytes =
        (s->blockText->capacity() + s->sideText->capacity() + extraUnits) * sizeof(char16_t) +
        s->reader->GetIndex().capacity() * sizeof(IndexNode);
    s->peakMemoryBytes = std::max(s->peakMemoryBytes, bytes);
}

// Decodes the block of a checkpoint. False when it cannot be read.
bool ReadBlockText(PagedFileStream* s, size_t pos, std::u16string& text)
{
    try
    {
        std::vector<LineEntry> entries;
        if (!s->reader->ReadBlock(pos, entries))
            return false;
        if (entries.size() == 1)
            text = std::move(entries[0].text);
        else
            text.clear();
        return true;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}

// Records the start of the block after `pos`, whose own length is `length`.
void NoteNextStart(PagedFileStream* s, size_t pos, int64_t length)
{
    if (pos == s->reached && !IsEndCheckpoint(s, pos))
    {
        NodeAt(s, pos + 1).charStart = NodeAt(s, pos).charStart + length;
        s->reached = pos + 1;
    }
}

// Makes `pos` the current block, keeping the block it replaces as the side block.
bool MakeCurrent(PagedFileStream* s, size_t pos)
{
    if (pos == s->current)
        return true;
    if (pos != s->side)
    {
        s->side = kNoCheckpoint;
        if (!ReadBlockText(s, pos, *s->sideText))
            return false;
        s->side = pos;
    }
    std::swap(s->blockText, s->sideText);
    std::swap(s->current, s->side);
    s->currentStart = NodeAt(s, s->current).charStart;
    NoteNextStart(s, s->current, BlockLength(s->blockText));
    NoteMemory(s);
    return true;
}

// The text of a block: the current or side block as held, otherwise read into the side slot.
// Null when it cannot be read.
const std::u16string* TextOf(PagedFileStream* s, size_t pos)
{
    if (pos == s->current)
        return s->blockText;
    if (pos == s->side)
        return s->sideText;
    s->side = kNoCheckpoint;
    if (!ReadBlockText(s, pos, *s->sideText))
        return nullptr;
    s->side = pos;
    NoteNextStart(s, pos, BlockLength(s->sideText));
    NoteMemory(s);
    return s->sideText;
}

// The checkpoint whose block holds character `index`, learning block starts forward as needed;
// kNoCheckpoint when the index lies at or past the end of the text.
size_t FindBlock(PagedFileStream* s, int64_t index)
{
    if (!HasBlock(s) || index < 0)
        return kNoCheckpoint;
    for (;;)
    {
        // The last checkpoint up to `reached` whose block starts at or before the index.
        const IndexList& list = s->reader->GetIndex();
        auto begin = list.begin() + static_cast<ptrdiff_t>(s->first);
        auto end = list.begin() + static_cast<ptrdiff_t>(s->reached) + 1;
        auto after = std::upper_bound(
            begin, end, index, [](int64_t value, const IndexNode& node) { return value < node.charStart; });
        const size_t pos = static_cast<size_t>((after - list.begin()) - 1);
        if (IsEndCheckpoint(s, pos))
            return kNoCheckpoint;
        if (pos < s->reached)
            return pos;
        // The block at `reached`: its length decides whether the index lies in it.
        const std::u16string* text = TextOf(s, pos);
        if (text == nullptr)
            return kNoCheckpoint;
        if (index < NodeAt(s, pos).charStart + BlockLength(text))
            return pos;
        if (s->reached == pos)
            return kNoCheckpoint; // nothing further is known (cannot happen: the text has an end)
    }
}

// Brings the block holding the index back when something moved the index outside the current
// block behind the stream's back (the runtime's reset, a caller setting the field).
void FollowIndex(PagedFileStream* s)
{
    const int64_t rel = IndexOf(s) - s->currentStart;
    if (rel >= 0 && rel <= BlockLength(s->blockText))
        return;
    const size_t pos = FindBlock(s, IndexOf(s));
    if (pos != kNoCheckpoint)
        MakeCurrent(s, pos);
}

// Moves on to the block after the current one; false at the end of the text or when that block
// cannot be read.
bool MoveToNextBlock(PagedFileStream* s)
{
    const size_t next = s->current + 1;
    if (IsEndCheckpoint(s, next))
        return false;
    NoteNextStart(s, s->current, BlockLength(s->blockText));
    return MakeCurrent(s, next);
}

ANTLR3_UCHAR CharAt(PagedFileStream* s, int64_t index)
{
    if (index < 0)
        return ANTLR3_CHARSTREAM_EOF;
    int64_t rel = index - s->currentStart;
    if (rel >= 0 && rel < BlockLength(s->blockText))
        return (*s->blockText)[static_cast<size_t>(rel)];
    if (s->side != kNoCheckpoint)
    {
        rel = index - NodeAt(s, s->side).charStart;
        if (rel >= 0 && rel < BlockLength(s->sideText))
            return (*s->sideText)[static_cast<size_t>(rel)];
    }
    const size_t pos = FindBlock(s, index);
    if (pos == kNoCheckpoint)
        return ANTLR3_CHARSTREAM_EOF;
    const std::u16string* text = TextOf(s, pos);
    if (text == nullptr)
        return ANTLR3_CHARSTREAM_EOF;
    return (*text)[static_cast<size_t>(index - NodeAt(s, pos).charStart)];
}

void AdvanceOver(PagedFileStream* s, int64_t index, ANTLR3_UCHAR c)
{
    ++s->input.charPositionInLine;
    if (c == s->input.newlineChar)
    {
        ++s->input.line;
        s->input.charPositionInLine = 0;
        s->input.currentLine = reinterpret_cast<void*>(static_cast<intptr_t>(index + 1));
    }
    SetIndex(s, index + 1);
}

// Consume at the end of a block or away from the current block.
void ConsumeSlow(PagedFileStream* s)
{
    if (!HasBlock(s))
        return;
    FollowIndex(s);
    const int64_t index = IndexOf(s);
    int64_t rel = index - s->currentStart;
    if (rel < 0)
        return;
    while (rel >= BlockLength(s->blockText))
    {
        if (rel != BlockLength(s->blockText) || !MoveToNextBlock(s))
            return; // end of input
        rel = index - s->currentStart;
    }
    AdvanceOver(s, index, (*s->blockText)[static_cast<size_t>(rel)]);
}

void Consume(pANTLR3_INT_STREAM intStream)
{
    PagedFileStream* s = StreamOf(intStream);
    const int64_t index = IndexOf(s);
    const auto rel = static_cast<uint64_t>(index - s->currentStart);
    if (rel < s->blockText->size())
        AdvanceOver(s, index, (*s->blockText)[rel]);
    else
        ConsumeSlow(s);
}

// LA(1) reads at the index, moving on to the next block at the end of one. Other offsets look
// at the character at index + i - 1 (index + i for looking back) without moving the stream;
// LA(0) is 0 as in the runtime.
ANTLR3_UINT32 LookAheadSlow(PagedFileStream* s, ANTLR3_INT32 i)
{
    if (!HasBlock(s) || IsEndCheckpoint(s, s->current))
        return ANTLR3_CHARSTREAM_EOF;
    FollowIndex(s);
    const int64_t index = IndexOf(s);
    if (i == 1)
    {
        int64_t rel = index - s->currentStart;
        if (rel >= 0 && rel < BlockLength(s->blockText))
            return (*s->blockText)[static_cast<size_t>(rel)];
        while (rel == BlockLength(s->blockText))
        {
            if (!MoveToNextBlock(s))
                return ANTLR3_CHARSTREAM_EOF;
            rel = index - s->currentStart;
            if (rel < BlockLength(s->blockText))
                return (*s->blockText)[static_cast<size_t>(rel)];
        }
        return ANTLR3_CHARSTREAM_EOF;
    }
    if (i == 0)
        return 0;
    return CharAt(s, i > 0 ? index + i - 1 : index + i);
}

ANTLR3_UINT32 LookAhead(pANTLR3_INT_STREAM intStream, ANTLR3_INT32 i)
{
    PagedFileStream* s = StreamOf(intStream);
    if (i == 1)
    {
        const auto rel = static_cast<uint64_t>(IndexOf(s) - s->currentStart);
        if (rel < s->blockText->size())
            return (*s->blockText)[rel];
    }
    return LookAheadSlow(s, i);
}

void* LookAheadToken(pANTLR3_INPUT_STREAM input, ANTLR3_INT32 i)
{
    return reinterpret_cast<void*>(static_cast<uintptr_t>(LookAhead(input->istream, i)));
}

ANTLR3_MARKER Index(pANTLR3_INT_STREAM intStream)
{
    return IndexOf(StreamOf(intStream));
}

void Seek(pANTLR3_INT_STREAM intStream, ANTLR3_MARKER target)
{
    PagedFileStream* s = StreamOf(intStream);
    if (!HasBlock(s))
    {
        SetIndex(s, target);
        return;
    }
    if (target > IndexOf(s))
    {
        // Forward by consuming, so that line and position follow.
        while (IndexOf(s) < target && LookAhead(intStream, 1) != ANTLR3_CHARSTREAM_EOF)
            Consume(intStream);
        return;
    }
    const int64_t rel = target - s->currentStart;
    if (rel < 0 || rel >= BlockLength(s->blockText))
    {
        const size_t pos = FindBlock(s, target);
        if (pos != kNoCheckpoint)
            MakeCurrent(s, pos);
    }
    SetIndex(s, target);
}

void Rewind(pANTLR3_INT_STREAM intStream, ANTLR3_MARKER mark)
{
    PagedFileStream* s = StreamOf(intStream);
    intStream->release(intStream, mark);
    if (mark < 1 || s->input.markers == nullptr)
        return;
    auto* state = static_cast<pANTLR3_LEX_STATE>(
        s->input.markers->get(s->input.markers, static_cast<ANTLR3_UINT32>(mark - 1)));
    if (state == nullptr)
        return;
    Seek(intStream, reinterpret_cast<intptr_t>(state->nextChar));
    s->input.charPositionInLine = state->charPositionInLine;
    s->input.currentLine = state->currentLine;
    s->input.line = state->line;
    s->input.nextChar = state->nextChar;
}

pANTLR3_STRING MakeString(PagedFileStream* s, const char16_t* units, int64_t count)
{
    return s->input.strFactory->newPtr(s->input.strFactory,
                                       reinterpret_cast<pANTLR3_UINT8>(const_cast<char16_t*>(units)),
                                       static_cast<ANTLR3_UINT32>(count));
}

// Any range of the file's text: from the current or side block when it lies there, otherwise
// from the blocks found through their recorded starts, joined as needed.
pANTLR3_STRING Substring(pANTLR3_INPUT_STREAM input, ANTLR3_MARKER start, ANTLR3_MARKER stop)
{
    auto* s = static_cast<PagedFileStream*>(input->super);
    const int64_t count = stop - start + 1;
    if (start < 0 || count < 0 || count > UINT32_MAX || !HasBlock(s))
        return nullptr;
    int64_t rel = start - s->currentStart;
    if (rel >= 0 && rel + count <= BlockLength(s->blockText))
        return MakeString(s, s->blockText->data() + rel, count);
    if (s->side != kNoCheckpoint)
    {
        rel = start - NodeAt(s, s->side).charStart;
        if (rel >= 0 && rel + count <= BlockLength(s->sideText))
            return MakeString(s, s->sideText->data() + rel, count);
    }
    size_t pos = FindBlock(s, start);
    if (pos == kNoCheckpoint)
        return nullptr;
    try
    {
        const std::u16string* text = TextOf(s, pos);
        if (text == nullptr)
            return nullptr;
        rel = start - NodeAt(s, pos).charStart;
        if (rel + count <= BlockLength(text))
            return MakeString(s, text->data() + rel, count);
        // The range runs on into later blocks. Each later block goes into the side slot: the
        // parser asks for the texts in order, so the next one most likely lies there.
        std::u16string joined(text->substr(static_cast<size_t>(rel)));
        while (static_cast<int64_t>(joined.size()) < count)
        {
            NoteNextStart(s, pos, BlockLength(text));
            ++pos;
            if (IsEndCheckpoint(s, pos))
                return nullptr;
            text = TextOf(s, pos);
            if (text == nullptr)
                return nullptr;
            const size_t wanted = static_cast<size_t>(count) - joined.size();
            joined.append(*text, 0, std::min(wanted, text->size()));
            NoteMemory(s, joined.capacity());
        }
        return MakeString(s, joined.data(), count);
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}

void FreeStream(pANTLR3_INT_STREAM intStream)
{
    PagedFileStream* s = StreamOf(intStream);
    delete s->reader;
    delete s->blockText;
    delete s->sideText;
    s->reader = nullptr;
    s->blockText = nullptr;
    s->sideText = nullptr;
    ANTLR3_FREE(intStream);
}

std::string Utf8Path(const wchar_t* path)
{
    std::string out;
    for (; *path != 0; ++path)
    {
        auto c = static_cast<uint32_t>(*path);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0x800)
        {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        else if (c < 0x10000)
        {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
        else
        {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Opens the file and loads its first block; false leaves an empty input. `refused` tells that the
// path names no regular file (a FIFO, a device, a socket, a folder), which gives no stream at all.
bool OpenFirstBlock(PagedFileStream* s, const wchar_t* path, bool& refused)
{
    refused = false;
    if (path == nullptr)
        return false;
    LMemChunkBuffer noSource;
    if (!s->reader->Open(Utf8Path(path).c_str(), noSource, nullptr, false, true, true))
    {
        refused = true;
        return false;
    }
    s->reader->RebuildIndex(nullptr);
    size_t pos = 0;
    size_t prev = 0;
    bool isLast = false;
    if (!s->reader->FindCheckpoint(0, pos, prev, isLast) || isLast)
        return false;
    s->first = pos;
    s->current = pos;
    s->reached = pos;
    NodeAt(s, pos).charStart = 0;
    s->currentStart = 0;
    if (!ReadBlockText(s, pos, *s->blockText))
        s->blockText->clear();
    NoteNextStart(s, pos, BlockLength(s->blockText));
    NoteMemory(s);
    return true;
}
} // namespace

extern "C" ANTLR3_INPUT_STREAM_struct* antlr3StringStreamFromFile(const wchar_t* path, unsigned char* name)
{
    auto* s = static_cast<PagedFileStream*>(ANTLR3_CALLOC(1, sizeof(PagedFileStream)));
    if (s == nullptr)
        return nullptr;
    pANTLR3_INPUT_STREAM input = &s->input;
    input->isAllocated = ANTLR3_FALSE;
    input->data = nullptr;
    antlr3GenericSetupStream(input);
    if (input->istream == nullptr)
    {
        ANTLR3_FREE(s);
        return nullptr;
    }
    input->super = s;
    s->current = kNoCheckpoint;
    s->first = kNoCheckpoint;
    s->side = kNoCheckpoint;
    try
    {
        s->reader = new LTextFileReader();
        s->blockText = new std::u16string();
        s->sideText = new std::u16string();
    }
    catch (const std::bad_alloc&)
    {
        // The runtime's own functions are still installed: its close frees the rest.
        delete s->reader;
        delete s->blockText;
        input->close(input);
        return nullptr;
    }
    bool refused = false;
    try
    {
        if (!OpenFirstBlock(s, path, refused))
        {
            s->first = kNoCheckpoint;
            s->current = kNoCheckpoint;
            s->blockText->clear();
        }
    }
    catch (const std::bad_alloc&)
    {
        s->first = kNoCheckpoint;
        s->current = kNoCheckpoint;
    }

    input->encoding = ANTLR3_ENC_UTF16LE;
    input->charByteSize = 2;
    input->nextChar = nullptr;
    input->currentLine = nullptr;
    pANTLR3_INT_STREAM intStream = input->istream;
    intStream->consume = Consume;
    intStream->_LA = LookAhead;
    intStream->index = Index;
    intStream->seek = Seek;
    intStream->rewind = Rewind;
    intStream->free = FreeStream;
    input->_LT = LookAheadToken;
    input->substr = Substring;
    if (input->strFactory != nullptr)
        input->strFactory->close(input->strFactory);
    input->strFactory = antlr3StringFactoryNew(ANTLR3_ENC_UTF16LE);
    if (input->strFactory == nullptr)
    {
        // Token texts could not be made: no stream rather than one that fails later.
        input->close(input);
        return nullptr;
    }
    if (refused)
    {
        // Not a regular file: reading it could block or never end.
        input->close(input);
        return nullptr;
    }
    // The stream's name is its file name, as the runtime's own file streams set it (error
    // reports read it from the int stream).
    input->fileName = input->strFactory->newStr8(
        input->strFactory, name != nullptr ? name : reinterpret_cast<pANTLR3_UINT8>(const_cast<char*>("")));
    intStream->streamName = input->fileName;
    return input;
}
