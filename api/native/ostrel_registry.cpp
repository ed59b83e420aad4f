// The XObject protocol of the public layer's registries through the C surface.
#include "ostrel_registry.h"

#include <tivra/runtime/XObject.h>

using Pelmora::Tivra::XObject;

extern "C" {

int32_t ostrel_object_get_refer_count(void* pObject)
{
    return pObject == nullptr ? 0 : static_cast<XObject*>(pObject)->GetReferCount();
}

// An XObject's destructor cannot throw (it is noexcept like every destructor
// that does not say otherwise), so nothing needs catching here.
void ostrel_object_delete(void* pObject) { delete static_cast<XObject*>(pObject); }

} // extern "C"
