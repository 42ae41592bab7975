// The window-free steps of in-place editing: storing an edited text with its undo step, and
// the box that Enter inserts after the edited one.
#include <algorithm>
#include <iterator>

#include "LGridViewBase.h"
#include "LGridViewManager.h"

void LGridViewBase::RecordContentUndo(LGridBox* box, const std::u16string& text, int part)
{
    LGridBoxDataAccessorInterface* accessor = box ? box->GetDataAccessor() : nullptr;
    if (!accessor || accessor->GetAccessorKind() != 0)
        return;
    auto* step = new LGridViewUndoStepContent(this, box);
    if (part == HIT_PART_ROW)
    {
        step->savedText = accessor->GetValueText();
        step->part = HIT_PART_ROW;
        accessor->SetValueText(text);
    }
    else if (part == HIT_PART_BODY)
    {
        accessor->GetBodyText(step->savedText);
        step->part = HIT_PART_BODY;
        accessor->SetBodyText(text);
    }
    AddUndoStep(step);
}

void LGridViewBase::InsertBoxAfterEdit(LGridBox* box)
{
    if (!box || !box->parent || !m_nodeFactory)
        return;
    LGridBoxDataAccessorInterface* oldAccessor = box->GetDataAccessor();
    if (!oldAccessor)
        return;
    LGridBox* parent = box->parent;
    LGridBoxList::iterator position;
    if (!box->FindInParent(position))
        return;

    // A plain copy of the edited box's fields, without its children. It gets no share of the
    // old accessor: that one stays the edited box's alone.
    auto* copy = new LGridBox(box->owner);
    copy->classTag = box->classTag;
    copy->kind = box->kind;
    copy->rowNumber = box->rowNumber;
    copy->collapsed = box->collapsed;
    copy->x = box->x;
    copy->y = box->y;
    copy->editorHeight = box->editorHeight;
    copy->height = box->height;
    copy->width = box->width;
    copy->totalRows = box->totalRows;
    copy->parent = parent;

    if (LGridBoxDataAccessorInterface* created = m_nodeFactory->CreateNode(2))
    {
        if (created->GetAccessorKind() == 0)
        {
            copy->SetDataAccessor(created);
            // The factory hands its object to the caller: the new box releases it.
            copy->ownsAccessor = true;
        }
        else
        {
            created->Release();
        }
    }
    if (copy->accessor)
        copy->accessor->SetAttributeCode(oldAccessor->GetAttributeCode());

    auto* step = new LGridViewUndoStepInsertDelete(this, true);
    m_dropBox = nullptr;
    LGridBoxList run{copy};
    InsertBoxesBefore(parent, std::next(position), run, true);
    step->boxes = run;
    step->parent = parent;
    const auto at = std::find(parent->children.begin(), parent->children.end(), copy);
    step->position = static_cast<int>(std::distance(parent->children.begin(), at));
    AddUndoStep(step);
    RecalcLayout();
    Redraw();
    BeginEdit(copy, HIT_PART_BODY);
}
