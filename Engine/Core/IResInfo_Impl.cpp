#include "Core/IResInfo_Impl.h"

#include "Core/CResource.h"

namespace Zel {

IResInfo_Impl::IResInfo_Impl(CResource* resource)
    : resource_(resource),
      name_(resource->GetName()),
      refCount_(resource->GetRefCount()),
      size_(resource->GetSizeField()) {}

}  // namespace Zel
