#include "toolkit/HandlesWin32.h"

#include "toolkit/ErrorsWin32.h"

TMemoryDC::TMemoryDC(HDC reference, HBITMAP bitmap) : dc_(CreateCompatibleDC(reference))
{
    CheckWin32(dc_ != nullptr, "CreateCompatibleDC");
    if (bitmap)
        old_ = SelectObject(dc_, bitmap);
}

TMemoryDC::~TMemoryDC()
{
    if (old_)
        SelectObject(dc_, old_);
    DeleteDC(dc_);
}
