// A program for the tests that reports what the core's environment functions
// give in its process: run from a directory holding a copy of the core with
// or without a usable libXGlobal.so beside it.
#include <cstdio>

#include <tivra/env/XGlobal.h>
#include <tivra/env/XPaths.h>
#include <tivra/runtime/XObject.h>

using namespace Pelmora::Tivra;

int main()
{
    std::printf("record=%d resource=[%s] config=%d log=%d class=%d\n", Xfn::GetGlobal() != nullptr,
                static_cast<const char*>(Xfn::GetResourcePath()), Xfn::SetConfigPath("x"),
                Xfn::LogMessage(1, "probe", "text"), XObject::GetThisClass() != nullptr);
    Xfn::Uninitialize();
    return 0;
}
