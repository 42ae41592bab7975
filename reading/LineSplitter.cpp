#include "LineSplitter.h"

size_t ParseInPlace(RecordFields& out, size_t base, bool& inQuotes, bool continueLast,
                    bool joinWithoutNewline, char16_t separator, bool cutQuotes)
{
    RecordText& text = out.text;
    const size_t n = text.size() - base;
    if (n == 0)
        return 0;

    size_t added = 0;
    bool continuation = false;
    size_t fieldBegin = base;
    if (continueLast && !out.Empty())
    {
        if (joinWithoutNewline)
        {
            const size_t begin = out.LastBegin();
            size_t end = base;
            while (end > begin && text[end - 1] == kLineFeed)
                --end;
            size_t lead = begin;
            while (lead < end && text[lead] == kLineFeed)
                ++lead;
            if (end < base)
                text.erase(end, base - end);
            if (lead > begin)
                text.erase(begin, lead - begin);
            base -= (base - end) + (lead - begin);
        }
        else
        {
            text.insert(base, 1, kLineFeed);
            ++base;
            ++added;
        }
        continuation = true;
        fieldBegin = out.LastBegin();
    }
    else
    {
        out.Next(base);
    }
    char16_t* const d = text.data();
    const char16_t* const t = d + base;
    size_t w = base;
    size_t fieldStart = w;
    bool quoted = false;

    const UnitMasks masks(t, n, separator);
    size_t j = 0;
    while (j < n)
    {
        size_t run = j;
        j = masks.RunEnd(j, n, inQuotes);
        if (j > run)
        {
            if (w != base + run)
                MoveDown(d + w, t + run, j - run);
            w += j - run;
            added += j - run;
        }
        if (j == n)
            break;
        const char16_t c = t[j];
        if (c == kQuoteMark)
        {
            const bool lastChar = j + 1 == n;
            if (inQuotes)
            {
                if (!lastChar && t[j + 1] == kQuoteMark)
                {
                    // Two in a row inside quotes are one escaped quotation mark: both stay in the
                    // text, and neither closes the field, whatever follows them.
                    d[w] = kQuoteMark;
                    d[w + 1] = kQuoteMark;
                    w += 2;
                    added += 2;
                    j += 2;
                    continue;
                }
                // A single one closes the field at the end of the line or before the separator,
                // CR or LF; elsewhere it is text.
                if (lastChar || t[j + 1] == separator || t[j + 1] == kLineFeed || t[j + 1] == kCarriageReturn)
                    inQuotes = false;
            }
            else if (w == fieldStart && (lastChar || t[j + 1] != kQuoteMark))
            {
                inQuotes = true;
                quoted = true;
                out.quoteOpened = true;
            }
            d[w++] = c;
            ++added;
        }
        else if (c == separator && !inQuotes)
        {
            if (!continuation)
                out.SetLastQuoted(quoted);
            if (cutQuotes)
                w = CutFieldQuotes(d, fieldBegin, w);
            out.CloseLast(w);
            continuation = false;
            out.Next(w);
            fieldStart = w;
            fieldBegin = w;
            quoted = false;
        }
        else if (c != kLineFeed && c != kCarriageReturn)
        {
            // The separator inside quotes.
            d[w++] = c;
            ++added;
        }
        ++j;
    }
    if (!continuation)
        out.SetLastQuoted(quoted);
    if (cutQuotes && !inQuotes)
        w = CutFieldQuotes(d, fieldBegin, w);
    out.CloseLast(w);
    text.resize(w);
    return added;
}
