#include "platform/ui/Resource.h"

CResourceModule& AfxGetResourceModule()
{
    static CResourceModule module;
    return module;
}
