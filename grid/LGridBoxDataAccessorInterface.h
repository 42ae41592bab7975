// The interfaces between a box and the object that supplies its text.
#pragma once

#include <string>

#include "LGridTypes.h"

// What an accessor calls on the box that uses it when its data changed.
class LGridBoxDataAccessorEvents
{
public:
    virtual void OnDataChanged() = 0;

protected:
    ~LGridBoxDataAccessorEvents() = default;
};

// A data object behind a box. Kind 0 is a text accessor; a box attaches nothing else, so the
// text operations below matter only for kind 0 (their defaults do nothing).
class LGridBoxDataAccessorInterface
{
public:
    virtual ~LGridBoxDataAccessorInterface() = default;

    virtual int GetAccessorKind() = 0;
    // Destroys the object that implements the interface.
    virtual void Release() = 0;
    virtual void AttachBox(LGridBox* box) = 0;
    virtual void DetachBox(LGridBox* box) = 0;

    // Text accessor: the value text (edit part 1) and the body text (edit part 3).
    virtual void SetValueText(const std::u16string& /*text*/) {}
    virtual std::u16string GetValueText() { return {}; }
    virtual void SetBodyText(const std::u16string& /*text*/) {}
    virtual void GetBodyText(std::u16string& text) { text.clear(); }
    // A pass-through query for box types of their own (see LGridBox::ForwardToAccessor).
    virtual int ForwardedQuery(int /*a*/, int b, int /*c*/) { return b; }
    virtual void SetAttributeCode(unsigned /*code*/) {}
    virtual void ResetAttributes() {}
    virtual unsigned GetAttributeCode() { return 0; }
};
