// Placeholder until the shared record lands: no registry, so every class
// look-up fails as it does without the shared-state library.
#include <tivra/runtime/XObject.h>

namespace Pelmora::Tivra {

XRuntimeClass* XRuntimeClass::FromName(const char*) { return nullptr; }

XRuntimeClass* XRuntimeClass::Register(const char*, int32_t, uint32_t, XObject* (*)(), XRuntimeClass*)
{
    return nullptr;
}

} // namespace Pelmora::Tivra
