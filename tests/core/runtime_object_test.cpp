// Objects: reference counting (also from several threads), runtime class
// records registered by name, dynamic creation and its failure trace.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <tivra/env/XGlobal.h>
#include <tivra/runtime/XObject.h>

using namespace Pelmora::Tivra;

namespace {

int g_nDeleted = 0;

class Shape : public XObject {
    XDECLARE_DYNAMIC(Shape)
public:
    ~Shape() override { ++g_nDeleted; }
};
XIMPLEMENT_DYNAMIC(Shape, XObject)

class Circle : public Shape {
    XDECLARE_SERIAL(Circle)
public:
    double m_dRadius = 1.5;
};
XIMPLEMENT_SERIAL(Circle, Shape, 3)

class Square : public Shape {
    XDECLARE_DYNCREATE(Square)
};
XIMPLEMENT_DYNCREATE(Square, Shape)

std::string g_strTrace;
void CaptureTrace(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    g_strTrace += va_arg(args, const char*);  // the text arrives formatted, behind "%s"
    va_end(args);
}

} // namespace

TEST(RuntimeObject, UnrefDeletesAtZeroAlsoFromSeveralThreads)
{
    g_nDeleted = 0;
    (new Shape)->Unref();  // a fresh object (count 0) goes at once
    EXPECT_EQ(g_nDeleted, 1);

    auto* p = new Circle;
    p->Ref();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([p] {
            for (int i = 0; i < 100000; ++i) {
                p->Ref();
                p->Unref();
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(p->GetReferCount(), 1);
    EXPECT_EQ(g_nDeleted, 1);
    p->Unref();
    EXPECT_EQ(g_nDeleted, 2);
}

TEST(RuntimeObject, RecordsChainsAndCreationByName)
{
    ASSERT_NE(Xfn::GetGlobal(), nullptr);
    XRuntimeClass* circle = XRUNTIME_CLASS(Circle);
    ASSERT_NE(circle, nullptr);
    EXPECT_EQ(circle->m_pBaseClass, XRUNTIME_CLASS(Shape));
    EXPECT_EQ(XRUNTIME_CLASS(Shape)->m_pBaseClass, XRUNTIME_CLASS(XObject));
    EXPECT_EQ(XRUNTIME_CLASS(XObject)->m_pBaseClass, nullptr);
    EXPECT_EQ(XRUNTIME_CLASS(Circle), circle);  // registered once
    EXPECT_EQ(XRuntimeClass::FromName("Circle"), circle);
    EXPECT_EQ(XRuntimeClass::FromName("Triangle"), nullptr);

    EXPECT_TRUE(circle->IsDerivedFrom(XRUNTIME_CLASS(XObject)));
    EXPECT_FALSE(XRUNTIME_CLASS(Shape)->IsDerivedFrom(circle));
    EXPECT_FALSE(circle->IsDerivedFrom(nullptr));

    XObject* made = XRuntimeClass::FromName("Circle")->CreateObject();
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(made->IsKindOf(XRUNTIME_CLASS(Shape)));
    EXPECT_FALSE(made->IsKindOf(XRUNTIME_CLASS(Square)));
    EXPECT_EQ(static_cast<Circle*>(made)->m_dRadius, 1.5);
    made->Unref();
    XObject* square = XRUNTIME_CLASS(Square)->CreateObject();
    EXPECT_EQ(square->GetRuntimeClass(), XRUNTIME_CLASS(Square));
    square->Unref();

    // The containers are created by name too.
    for (const char* name : {"XObArray", "XObList", "XMapStringToOb", "XMapWordToOb", "XMapStringToPtr"}) {
        XObject* c = XRuntimeClass::FromName(name) ? XRuntimeClass::FromName(name)->CreateObject() : nullptr;
        ASSERT_NE(c, nullptr) << name;
        EXPECT_STREQ(c->GetRuntimeClass()->m_lpszClassName, name);
        EXPECT_EQ(c->GetRuntimeClass()->m_wSchema, 1u);
        c->Unref();
    }

    // No factory: null and a trace message, through a replaced trace function.
    g_strTrace.clear();
    EXPECT_EQ(Xfn::SetTraceFunction(CaptureTrace), nullptr);
    EXPECT_EQ(XRUNTIME_CLASS(Shape)->CreateObject(), nullptr);
    EXPECT_EQ(Xfn::SetTraceFunction(nullptr), CaptureTrace);
    EXPECT_EQ(g_strTrace, "Error: Trying to create object which is not XDECLARE_DYNCREATE \nor XDECLARE_SERIAL: Shape.\n");

    // The default trace writes to standard error only while TIVRA_TRACE is set.
    testing::internal::CaptureStderr();
    Xfn::Trace("one %d\n", 1);
    setenv("TIVRA_TRACE", "1", 1);
    Xfn::Trace("two %s\n", "x");
    unsetenv("TIVRA_TRACE");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "two x\n");

    // A new shared record starts an empty registry.
    Xfn::Initialize();
    EXPECT_EQ(XRuntimeClass::FromName("Circle"), nullptr);
    EXPECT_STREQ(XRUNTIME_CLASS(Circle)->m_lpszClassName, "Circle");
}
