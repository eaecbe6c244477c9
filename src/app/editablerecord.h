#pragma once
// A record set a window edits (the job editors): whether a record is being edited or entered, and
// how the record is saved (with its save-time checks, which may end in a silent stop) or its
// changes dropped.

namespace kx {

class EditableRecord
{
public:
    virtual ~EditableRecord() = default;
    virtual bool isEditing() const = 0;
    virtual void save() = 0;
    virtual void discard() = 0;
};

} // namespace kx
