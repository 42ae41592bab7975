#include "LGridViewUndoStep.h"

#include "LGridBox.h"
#include "LGridViewBase.h"

LGridViewUndoStepCollection::LGridViewUndoStepCollection(LGridViewBase* grid)
    : LGridViewUndoStep(grid)
{
    stepKind = 5;
}

void LGridViewUndoStepCollection::Discard(bool fromUndoStack)
{
    for (LGridViewUndoStep* step : steps)
    {
        step->Discard(fromUndoStack);
        delete step;
    }
    steps.clear();
}

void LGridViewUndoStepCollection::Undo()
{
    for (auto it = steps.rbegin(); it != steps.rend(); ++it)
        (*it)->Undo();
}

void LGridViewUndoStepCollection::Redo()
{
    for (LGridViewUndoStep* step : steps)
        step->Redo();
}

LGridViewUndoStepContent::LGridViewUndoStepContent(LGridViewBase* grid, LGridBox* box)
    : LGridViewUndoStep(grid)
    , box(box)
{
    stepKind = 3;
}

void LGridViewUndoStepContent::SwapText()
{
    LGridBoxDataAccessorInterface* accessor = box ? box->GetDataAccessor() : nullptr;
    if (!accessor || accessor->GetAccessorKind() != 0)
        return;
    std::u16string current;
    if (part == HIT_PART_ROW)
    {
        current = accessor->GetValueText();
        accessor->SetValueText(savedText);
    }
    else if (part == HIT_PART_BODY)
    {
        accessor->GetBodyText(current);
        accessor->SetBodyText(savedText);
    }
    savedText = current;
    if (grid)
        grid->Redraw();
}

LGridViewUndoStepInsertDelete::LGridViewUndoStepInsertDelete(LGridViewBase* grid, bool insert)
    : LGridViewUndoStep(grid)
    , insert(insert)
{
    stepKind = insert ? 1 : 0;
}

void LGridViewUndoStepInsertDelete::Discard(bool fromUndoStack)
{
    // A removal's boxes are out of the tree while it sits on the undo stack; an insertion's
    // while it sits (undone) on the redo stack. In every other case they are in the tree.
    const bool owns = fromUndoStack ? stepKind == 0 : stepKind == 1;
    if (!owns)
        return;
    for (LGridBox* box : boxes)
        delete box;
    boxes.clear();
}

void LGridViewUndoStepInsertDelete::Undo()
{
    if (!grid)
        return;
    if (insert)
    {
        LGridBoxList removed;
        grid->RemoveBoxes(parent, position, static_cast<int>(boxes.size()), removed);
    }
    else
    {
        grid->InsertBoxes(parent, position, boxes, true, true);
    }
}

void LGridViewUndoStepInsertDelete::Redo()
{
    if (!grid)
        return;
    if (insert)
    {
        grid->InsertBoxes(parent, position, boxes, true, true);
    }
    else
    {
        LGridBoxList removed;
        grid->RemoveBoxes(parent, position, static_cast<int>(boxes.size()), removed);
    }
}

LGridViewUndoStepMove::LGridViewUndoStepMove(LGridViewBase* grid)
    : LGridViewUndoStep(grid)
    , sourceRemoval(grid, false)
    , targetInsertion(grid, true)
    , extraRemoval(grid, false)
{}

void LGridViewUndoStepMove::Discard(bool fromUndoStack)
{
    if (fromUndoStack && extraRemoval.parent)
        extraRemoval.Discard(true);
}

void LGridViewUndoStepMove::Undo()
{
    if (extraRemoval.parent)
        extraRemoval.Undo();
    targetInsertion.Undo();
    sourceRemoval.Undo();
}

void LGridViewUndoStepMove::Redo()
{
    sourceRemoval.Redo();
    targetInsertion.Redo();
    if (extraRemoval.parent)
        extraRemoval.Redo();
}

size_t LGridViewUndoStack::Depth() const
{
    return steps.size() + (openCollection ? openCollection->steps.size() : 0);
}
