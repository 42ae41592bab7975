// An append-only byte store made of separately allocated chunks that never move.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One chunk: `capacity` zero-filled bytes of which the first `used` are filled.
struct LMemChunk
{
    // Allocates and zero-fills `capacity` bytes; on failure `data` stays null and `capacity` 0.
    explicit LMemChunk(uint32_t capacity);
    ~LMemChunk();
    LMemChunk(const LMemChunk&) = delete;
    LMemChunk& operator=(const LMemChunk&) = delete;

    // Copies the bytes behind `used`. False, with nothing copied, when there is no storage,
    // the length is 0 or the bytes do not fit in the free room.
    bool Append(const void* bytes, uint32_t length);
    // Releases the storage: `data` null, `capacity` and `used` 0.
    void FreeData();
    // A new chunk holding a copy of the used bytes, its capacity exactly `used`; null when
    // there are no used bytes or the copy cannot be allocated.
    LMemChunk* Clone() const;
    uint32_t GetUsed() const { return used; }

    uint8_t* data = nullptr;
    uint32_t capacity = 0;
    uint32_t used = 0;
};

// The content is the concatenation of the used bytes of every chunk, in order. Blocks handed
// out by GetData and Read are malloc'ed and belong to the caller.
class LMemChunkBuffer
{
public:
    LMemChunkBuffer();
    virtual ~LMemChunkBuffer();
    LMemChunkBuffer(const LMemChunkBuffer&) = delete;
    LMemChunkBuffer& operator=(const LMemChunkBuffer&) = delete;

    // Appends an empty chunk of at least `minimumSize` bytes: 8192, or a tenth of the content
    // once that is larger, grown by 8192 until it is large enough.
    bool AddChunk(uint32_t minimumSize);
    // Appends the bytes, always whole into one chunk. False for null bytes or length <= 0.
    bool Append(const void* bytes, int32_t length);
    // Appends the other buffer's content: copies of its non-empty chunks, or (copy false)
    // its chunks themselves, leaving it empty. False only when a copy cannot be allocated.
    bool AppendFrom(LMemChunkBuffer& other, bool copy);
    // Releases every chunk; more than 2000 are freed on a detached thread.
    void Clear();
    // The whole content in one new block, its size in `length`; null without chunks (length
    // untouched) or when the block cannot be allocated. `release` frees the chunks.
    uint8_t* GetData(bool release, uint64_t& length);
    // Copies up to `length` bytes from `offset` into `destination` (a new block when null) and
    // sets `length` to the count copied. Null without chunks or when no block can be allocated.
    uint8_t* Read(uint64_t offset, uint64_t& length, void* destination);
    const std::vector<LMemChunk*>& GetChunks() const { return chunks; }
    uint64_t GetSize() const;
    // True when at least one chunk exists, even an empty one.
    bool HasData() const { return !chunks.empty(); }
    void SwapChunks(std::vector<LMemChunk*>& other);

private:
    std::vector<LMemChunk*> chunks;
    const uint32_t chunkSize;
};
