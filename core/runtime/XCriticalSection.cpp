#include <tivra/runtime/XCriticalSection.h>

namespace Pelmora::Tivra {

XLock::XLock(XCriticalSection* pCS) : m_pCS(pCS)
{
    if (m_pCS) m_pCS->Lock();
}

XLock::~XLock()
{
    if (m_pCS) m_pCS->Unlock();
}

} // namespace Pelmora::Tivra
