#include "MemChunkBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

#include "ReadingSizes.h"

namespace {
constexpr size_t kFreeOnThreadAbove = 2000;

void FreeChunks(std::vector<LMemChunk*>& chunks)
{
    for (LMemChunk* chunk : chunks)
        delete chunk;
    chunks.clear();
}

// Owns the handed-over chunks and frees them, so that closing a large buffer does not stall
// the caller.
void FreeChunkVectorThreadProc(std::vector<LMemChunk*>* chunks)
{
    FreeChunks(*chunks);
    delete chunks;
}
} // namespace

LMemChunk::LMemChunk(uint32_t size)
{
    if (size == 0)
        return;
    data = static_cast<uint8_t*>(std::calloc(size, 1));
    if (data)
        capacity = size;
}

LMemChunk::~LMemChunk()
{
    FreeData();
}

bool LMemChunk::Append(const void* bytes, uint32_t length)
{
    if (!data || !bytes || length == 0 || capacity == 0 || length > capacity - used)
        return false;
    std::memcpy(data + used, bytes, length);
    used += length;
    return true;
}

void LMemChunk::FreeData()
{
    std::free(data);
    data = nullptr;
    capacity = 0;
    used = 0;
}

LMemChunk* LMemChunk::Clone() const
{
    if (!data || used == 0)
        return nullptr;
    LMemChunk* copy = new (std::nothrow) LMemChunk(used);
    if (!copy)
        return nullptr;
    if (!copy->Append(data, used))
    {
        delete copy;
        return nullptr;
    }
    return copy;
}

LMemChunkBuffer::LMemChunkBuffer()
    : chunkSize(CSVQ_READING_SIZE(8192, 128))
{}

LMemChunkBuffer::~LMemChunkBuffer()
{
    Clear();
}

bool LMemChunkBuffer::AddChunk(uint32_t minimumSize)
{
    const uint64_t tenth = GetSize() / 10;
    if (tenth >= 0xFFFFFFFFULL)
        return false;
    uint64_t size = std::max<uint64_t>(chunkSize, tenth);
    while (size < minimumSize)
        size += chunkSize;
    if (size > 0xFFFFFFFFULL)
        return false;

    LMemChunk* chunk = new (std::nothrow) LMemChunk(static_cast<uint32_t>(size));
    if (!chunk)
        return false;
    try
    {
        chunks.push_back(chunk);
    }
    catch (const std::bad_alloc&)
    {
        delete chunk;
        return false;
    }
    // A chunk whose bytes could not be allocated stays, with capacity 0.
    return true;
}

bool LMemChunkBuffer::Append(const void* bytes, int32_t length)
{
    if (!bytes || length <= 0)
        return false;
    const uint32_t n = static_cast<uint32_t>(length);
    if (chunks.empty())
        AddChunk(n);
    if (chunks.empty())
        return false;
    if (chunks.back() && chunks.back()->Append(bytes, n))
        return true;
    // The free room at the end of the last chunk stays empty: a piece is never split.
    if (!AddChunk(n))
        return false;
    return chunks.back()->Append(bytes, n);
}

bool LMemChunkBuffer::AppendFrom(LMemChunkBuffer& other, bool copy)
{
    if (!copy)
    {
        std::vector<LMemChunk*> taken;
        other.SwapChunks(taken);
        chunks.insert(chunks.end(), taken.begin(), taken.end());
        return true;
    }
    bool complete = true;
    // Counted up front: the other buffer may be this one.
    const size_t count = other.chunks.size();
    for (size_t i = 0; i < count; ++i)
    {
        const LMemChunk* source = other.chunks[i];
        if (!source || source->used == 0)
            continue;
        LMemChunk* clone = source->Clone();
        if (!clone)
        {
            complete = false;
            continue;
        }
        chunks.push_back(clone);
    }
    return complete;
}

void LMemChunkBuffer::Clear()
{
    if (chunks.size() > kFreeOnThreadAbove)
    {
        std::vector<LMemChunk*>* detached = new (std::nothrow) std::vector<LMemChunk*>;
        if (detached)
        {
            try
            {
                detached->assign(chunks.begin(), chunks.end());
                std::thread(FreeChunkVectorThreadProc, detached).detach();
                chunks.clear();
                return;
            }
            catch (const std::exception&)
            {
                // No memory or no thread: the chunks are freed here instead.
                delete detached;
            }
        }
    }
    FreeChunks(chunks);
}

uint8_t* LMemChunkBuffer::GetData(bool release, uint64_t& length)
{
    if (chunks.empty())
        return nullptr;
    length = 0;
    const uint64_t size = GetSize();
    if (size > SIZE_MAX)
        return nullptr;
    uint8_t* block = static_cast<uint8_t*>(std::malloc(std::max<uint64_t>(size, 1)));
    if (!block)
        return nullptr;
    for (LMemChunk* chunk : chunks)
    {
        if (!chunk)
            continue;
        // Empty chunks are skipped; the rest of the content lies behind them.
        if (chunk->data && chunk->used > 0)
        {
            std::memcpy(block + length, chunk->data, chunk->used);
            length += chunk->used;
        }
        if (release)
            chunk->FreeData();
    }
    if (release)
        Clear();
    return block;
}

uint8_t* LMemChunkBuffer::Read(uint64_t offset, uint64_t& length, void* destination)
{
    if (chunks.empty())
    {
        length = 0;
        return nullptr;
    }
    uint8_t* out = static_cast<uint8_t*>(destination);
    if (!out)
    {
        // A new block need not be larger than what exists behind the offset.
        const uint64_t size = GetSize();
        const uint64_t available = offset < size ? size - offset : 0;
        const uint64_t blockSize = std::max<uint64_t>(std::min(length, available), 1);
        out = blockSize <= SIZE_MAX ? static_cast<uint8_t*>(std::malloc(blockSize)) : nullptr;
        if (!out)
        {
            length = 0;
            return nullptr;
        }
    }

    uint64_t copied = 0;
    uint64_t remaining = length;
    uint64_t start = 0;
    for (const LMemChunk* chunk : chunks)
    {
        if (remaining == 0)
            break;
        if (!chunk)
            continue;
        const uint64_t end = start + chunk->used;
        if (end > offset && chunk->data && chunk->used > 0)
        {
            const uint64_t from = offset - start;
            const uint64_t count = std::min<uint64_t>(remaining, chunk->used - from);
            std::memcpy(out + copied, chunk->data + from, count);
            copied += count;
            offset += count;
            remaining -= count;
        }
        start = end;
    }
    length = copied;
    return out;
}

uint64_t LMemChunkBuffer::GetSize() const
{
    uint64_t size = 0;
    for (const LMemChunk* chunk : chunks)
    {
        if (chunk)
            size += chunk->used;
    }
    return size;
}

void LMemChunkBuffer::SwapChunks(std::vector<LMemChunk*>& other)
{
    if (&other != &chunks)
        chunks.swap(other);
}
