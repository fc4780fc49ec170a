#include "SimDispatch.h"

HRESULT DispatchTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT DispatchTypeInfo(ITypeInfo* source, UINT index, ITypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    if (!source)
        return E_UNEXPECTED;
    source->AddRef();
    *info = source;
    return S_OK;
}

HRESULT DispatchIdsOfNames(ITypeInfo* info, REFIID riid, LPOLESTR* names, UINT count, DISPID* ids)
{
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!info)
        return E_UNEXPECTED;
    return DispGetIDsOfNames(info, names, count, ids);
}

HRESULT DispatchInvoke(void* object, ITypeInfo* info, DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
                       VARIANT* result, EXCEPINFO* excep, UINT* argErr)
{
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!info)
        return E_UNEXPECTED;
    return DispInvoke(object, info, id, flags, params, result, excep, argErr);
}
