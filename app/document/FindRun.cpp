#include "FindRun.h"

#include "SegmentCache.h"

FindRun::FindRun(const std::u16string& text, bool matchCase)
    : needle(text, matchCase)
{}

void FindRun::UseBytePattern(int32_t codePage)
{
    pattern = MakeBytePattern(needle, codePage);
}

std::vector<uint8_t>& FindRun::RestartVerdicts(const CSVSegment& segment)
{
    std::vector<uint8_t>& kept = verdicts[&segment];
    kept.clear();
    return kept;
}

void FindRun::KeepVerdicts(const CSVSegment& segment, std::vector<uint8_t>&& segmentVerdicts)
{
    verdicts[&segment] = std::move(segmentVerdicts);
}

size_t FindRun::FirstHit(const CSVSegment& segment, bool withoutRows, size_t from, size_t& count)
{
    const std::vector<CSVRecord>& rows = segment.rows;
    const auto known = verdicts.find(&segment);
    const std::vector<uint8_t>* told =
        known != verdicts.end() && (withoutRows || known->second.size() == rows.size()) ? &known->second
                                                                                        : nullptr;
    count = withoutRows ? (told ? told->size() : 0) : rows.size();
    for (size_t offset = from; offset < count; ++offset)
    {
        if (told ? (*told)[offset] != 0 : RowContains(rows[offset]))
            return offset;
    }
    return count;
}
