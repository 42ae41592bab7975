// Undo steps: every change the grid makes to its tree is recorded as a step that knows how to
// undo and redo it and which boxes it owns while they are out of the tree. Steps live on the
// grid's undo and redo stacks; nothing in the viewer replays them, they are counted and
// discarded.
#pragma once

#include <cstddef>
#include <list>
#include <string>

#include "LGridTypes.h"

class LGridViewUndoStep
{
public:
    explicit LGridViewUndoStep(LGridViewBase* grid)
        : grid(grid)
    {}
    LGridViewUndoStep(const LGridViewUndoStep&) = delete;
    LGridViewUndoStep& operator=(const LGridViewUndoStep&) = delete;
    virtual ~LGridViewUndoStep() = default;

    // Frees what the step owns as it leaves a stack for good: fromUndoStack is true when it
    // leaves the undo stack, false for the redo stack.
    virtual void Discard(bool fromUndoStack) = 0;
    virtual void Undo() = 0;
    virtual void Redo() = 0;

    int stepKind = 6; // 0 removal, 1 insertion, 3 content, 5 collection, 6 move
    LGridViewBase* grid = nullptr;
};

// A group of steps that count as one. Owns its steps, but only Discard deletes them.
class LGridViewUndoStepCollection : public LGridViewUndoStep
{
public:
    explicit LGridViewUndoStepCollection(LGridViewBase* grid);

    void Discard(bool fromUndoStack) override;
    void Undo() override; // newest first
    void Redo() override; // oldest first

    std::list<LGridViewUndoStep*> steps; // oldest first
};

// One text change of one box. The saved text is the one the box does not show (before any
// undo: the old text); undo and redo are the same swap through the box's text accessor.
class LGridViewUndoStepContent : public LGridViewUndoStep
{
public:
    LGridViewUndoStepContent(LGridViewBase* grid, LGridBox* box);

    void Discard(bool) override {}
    void Undo() override { SwapText(); }
    void Redo() override { SwapText(); }

    LGridBox* box = nullptr; // not owned
    std::u16string savedText;
    int part = 0; // 1 value text, 3 body text; 0 for any other part (nothing is swapped)

private:
    void SwapText();
};

// One run of boxes inserted into or removed from one parent. A removal owns its boxes while
// they are out of the tree (until an undo); an insertion owns them after an undo.
class LGridViewUndoStepInsertDelete : public LGridViewUndoStep
{
public:
    LGridViewUndoStepInsertDelete(LGridViewBase* grid, bool insert);

    void Discard(bool fromUndoStack) override;
    void Undo() override;
    void Redo() override;

    bool insert = false;
    LGridBoxList boxes; // the run, in child order
    LGridBox* parent = nullptr;
    int position = -1; // index of the run's first box among the parent's children
};

// One drag move: the boxes taken out of their parent, put into the target parent, and, for a
// drop "into" a box, that box taken out in their place.
class LGridViewUndoStepMove : public LGridViewUndoStep
{
public:
    explicit LGridViewUndoStepMove(LGridViewBase* grid);

    // The moved boxes are in the tree; only the box replaced by a drop "into" is out of it,
    // and leaving the undo stack frees it.
    void Discard(bool fromUndoStack) override;
    void Undo() override;
    void Redo() override;

    LGridViewUndoStepInsertDelete sourceRemoval;
    LGridViewUndoStepInsertDelete targetInsertion;
    LGridViewUndoStepInsertDelete extraRemoval; // used only when its parent is set
};

// The steps of one stack, newest last, and the collection that new steps go into while open.
struct LGridViewUndoStack
{
    std::list<LGridViewUndoStep*> steps;
    LGridViewUndoStepCollection* openCollection = nullptr;
    LGridViewBase* grid = nullptr;

    // Steps in the list plus the steps of the open collection.
    size_t Depth() const;
};
