#include "LGridBox.h"

#include <algorithm>

LGridBox::LGridBox(LGridViewBase* owner)
    : owner(owner)
{}

void LGridBox::OnDataChanged()
{
    editorHeight = 0;
}

LGridBox::~LGridBox()
{
    for (LGridBox* child : children)
        delete child;
    children.clear();
    if (accessor)
    {
        LGridBoxDataAccessorInterface* a = accessor;
        accessor = nullptr;
        a->DetachBox(this);
        if (ownsAccessor)
            a->Release();
    }
}

void LGridBox::SetDataAccessor(LGridBoxDataAccessorInterface* a)
{
    if (!a || a->GetAccessorKind() != 0)
        return;
    accessor = a;
    a->AttachBox(this);
}

LGridBoxDataAccessorInterface* LGridBox::GetDataAccessor()
{
    return accessor;
}

int64_t LGridBox::Draw(const LGridDrawArgs& args)
{
    if (args.measureOnly && args.recordPosition)
    {
        x = args.x;
        y = args.y;
    }
    return height;
}

int LGridBox::ForwardToAccessor(int a, int b, int c)
{
    return accessor ? accessor->ForwardedQuery(a, b, c) : b;
}

LGridBox* LGridBox::HitTest(int64_t px, int64_t py, int rowHeight, int columnWidth, int effectiveRowHeight,
                            int* part, int* subPart, int* index)
{
    if (part)
        *part = HIT_PART_NONE;
    if (index)
        *index = -1;
    if (kind == BOX_KIND_ROW && x <= px && py >= y && py < y + height)
    {
        if (part)
            *part = HIT_PART_ROW;
        return this;
    }
    if (collapsed)
        return nullptr;
    for (LGridBox* child : children)
    {
        if (LGridBox* hit =
                child->HitTest(px, py, rowHeight, columnWidth, effectiveRowHeight, part, subPart, index))
            return hit;
    }
    return nullptr;
}

void LGridBox::SetAuxText(int, int, int, int, std::u16string) {}

std::u16string LGridBox::GetAuxText()
{
    return {};
}

std::u16string LGridBox::GetAuxText2()
{
    return {};
}

void LGridBox::ExpandParents(bool ancestors)
{
    if (!ancestors)
    {
        collapsed = false;
        return;
    }
    for (LGridBox* p = parent; p; p = p->parent)
        p->ExpandParents(false);
}

bool LGridBox::FindInParent(LGridBoxList::iterator& position)
{
    if (!parent)
        return false;
    auto it = std::find(parent->children.begin(), parent->children.end(), this);
    if (it == parent->children.end())
        return false;
    position = it;
    return true;
}

bool LGridBox::HasAncestorOrSelf(const LGridBox* box) const
{
    for (const LGridBox* b = this; b; b = b->parent)
    {
        if (b == box)
            return true;
    }
    return false;
}
