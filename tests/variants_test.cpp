#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "server/variants.h"

namespace {

constexpr int32_t kUntouched = 0x5EED;

VARIANT typed(VARTYPE type)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    return v;
}

struct Bstr {
    explicit Bstr(const wchar_t* text, UINT length) : value(SysAllocStringLen(text, length)) {}
    ~Bstr() { SysFreeString(value); }
    BSTR value;
};

} // namespace

TEST(VarToInt, ReadsTheThreeIntegerTypes)
{
    int32_t value = 0;
    VARIANT v = typed(VT_I4);
    V_I4(&v) = -70000;
    EXPECT_EQ(varToInt(&v, &value), S_OK);
    EXPECT_EQ(value, -70000);
    v = typed(VT_I2);
    V_I2(&v) = -2;
    EXPECT_EQ(varToInt(&v, &value), S_OK);
    EXPECT_EQ(value, -2);
    v = typed(VT_UI1);
    V_UI1(&v) = 200;
    EXPECT_EQ(varToInt(&v, &value), S_OK);
    EXPECT_EQ(value, 200);
}

TEST(VarToInt, ReadsThroughReferencesWithoutChangingThem)
{
    LONG i4 = 123456;
    SHORT i2 = -5;
    BYTE ui1 = 250;
    int32_t value = 0;
    VARIANT v = typed(VT_BYREF | VT_I4);
    V_I4REF(&v) = &i4;
    EXPECT_EQ(varToInt(&v, &value), S_OK);
    EXPECT_EQ(value, 123456);
    v = typed(VT_BYREF | VT_I2);
    V_I2REF(&v) = &i2;
    EXPECT_EQ(varToInt(&v, &value), S_OK);
    EXPECT_EQ(value, -5);
    v = typed(VT_BYREF | VT_UI1);
    V_UI1REF(&v) = &ui1;
    EXPECT_EQ(varToInt(&v, &value), S_OK);
    EXPECT_EQ(value, 250);

    // How VBScript passes a variable: a reference to the variable's VARIANT.
    VARIANT variable = typed(VT_I2);
    V_I2(&variable) = 300;
    VARIANT reference = typed(VT_BYREF | VT_VARIANT);
    V_VARIANTREF(&reference) = &variable;
    EXPECT_EQ(varToInt(&reference, &value), S_OK);
    EXPECT_EQ(value, 300);
    EXPECT_EQ(V_VT(&variable), VT_I2);
    EXPECT_EQ(V_I2(&variable), 300);
}

TEST(VarToInt, RefusesEveryOtherTypeAndWritesNothing)
{
    double real = 1.0;
    VARIANT inner = typed(VT_R8);
    V_R8(&inner) = 5.0;
    for (VARTYPE base = 0; base <= VT_UINT; ++base) {
        if (base == VT_I4 || base == VT_I2 || base == VT_UI1)
            continue;
        for (VARTYPE flags : {VARTYPE(0), VARTYPE(VT_BYREF), VARTYPE(VT_ARRAY), VARTYPE(VT_ARRAY | VT_BYREF)}) {
            VARIANT v = typed(VARTYPE(base | flags));
            V_BYREF(&v) = &real; // a readable pointer for the reference types
            if (base == VT_VARIANT && flags == VT_BYREF)
                V_VARIANTREF(&v) = &inner; // a reference to a double
            int32_t value = kUntouched;
            EXPECT_EQ(varToInt(&v, &value), DISP_E_BADVARTYPE) << std::hex << (base | flags);
            EXPECT_EQ(value, kUntouched);
        }
    }
    for (VARTYPE type : {VARTYPE(VT_I4), VARTYPE(VT_I2), VARTYPE(VT_UI1)}) {
        int32_t value = kUntouched;
        VARIANT v = typed(VARTYPE(type | VT_ARRAY));
        EXPECT_EQ(varToInt(&v, &value), DISP_E_BADVARTYPE);
        v = typed(VARTYPE(type | VT_BYREF)); // a null reference
        EXPECT_EQ(varToInt(&v, &value), DISP_E_BADVARTYPE);
        EXPECT_EQ(value, kUntouched);
    }
    VARIANT nullReference = typed(VT_BYREF | VT_VARIANT);
    int32_t value = kUntouched;
    EXPECT_EQ(varToInt(&nullReference, &value), DISP_E_BADVARTYPE);
    EXPECT_EQ(value, kUntouched);
}

TEST(VarToStr, AppendsTheTextUpToTheFirstNul)
{
    Bstr text(L"ab\0cd", 5);
    VARIANT v = typed(VT_BSTR);
    V_BSTR(&v) = text.value;
    LWString out(L">");
    EXPECT_EQ(varToStr(&v, out), S_OK);
    EXPECT_EQ(std::wstring(out.data(), size_t(out.length())), L">ab");

    V_BSTR(&v) = nullptr;
    EXPECT_EQ(varToStr(&v, out), S_OK);
    EXPECT_EQ(out.length(), 3);

    VARIANT reference = typed(VT_BYREF | VT_BSTR);
    V_BSTRREF(&reference) = &text.value;
    EXPECT_EQ(varToStr(&reference, out), S_OK);
    VARIANT variable = typed(VT_BSTR);
    V_BSTR(&variable) = text.value;
    VARIANT variableReference = typed(VT_BYREF | VT_VARIANT);
    V_VARIANTREF(&variableReference) = &variable;
    EXPECT_EQ(varToStr(&variableReference, out), S_OK);
    EXPECT_EQ(std::wstring(out.data(), size_t(out.length())), L">ababab");
}

TEST(VarToStr, RefusesOtherTypesAndLeavesTheStringAlone)
{
    LWString out(L"keep");
    for (VARTYPE type : {VARTYPE(VT_EMPTY), VARTYPE(VT_NULL), VARTYPE(VT_I4), VARTYPE(VT_R8),
                         VARTYPE(VT_BOOL), VARTYPE(VT_BSTR | VT_ARRAY), VARTYPE(VT_BYREF | VT_BSTR),
                         VARTYPE(VT_BYREF | VT_VARIANT), VARTYPE(VT_DISPATCH)}) {
        VARIANT v = typed(type); // reference types carry a null pointer here
        EXPECT_EQ(varToStr(&v, out), DISP_E_BADVARTYPE) << type;
    }
    EXPECT_EQ(std::wstring(out.data(), size_t(out.length())), L"keep");
}

TEST(ResultRule, ConvertsTheClientsVariantInPlace)
{
    VARIANT result = typed(VT_EMPTY);
    EXPECT_EQ(setIntResult(&result, -7), S_OK);
    EXPECT_EQ(V_VT(&result), VT_I4);
    EXPECT_EQ(V_I4(&result), -7);

    VARIANT text = typed(VT_BSTR);
    V_BSTR(&text) = SysAllocString(L"12");
    EXPECT_EQ(setIntResult(&text, 99), S_OK);
    EXPECT_EQ(V_VT(&text), VT_I4);
    EXPECT_EQ(V_I4(&text), 99);

    VARIANT word = typed(VT_BSTR);
    V_BSTR(&word) = SysAllocString(L"abc");
    EXPECT_NE(setIntResult(&word, 1), S_OK);
    ASSERT_EQ(V_VT(&word), VT_BSTR) << "a result that cannot convert stays as passed";
    EXPECT_STREQ(V_BSTR(&word), L"abc");
    VariantClear(&word);

    VARIANT number = typed(VT_I2);
    V_I2(&number) = 5;
    EXPECT_EQ(setStrResult(&number, L"text"), S_OK);
    ASSERT_EQ(V_VT(&number), VT_BSTR);
    EXPECT_STREQ(V_BSTR(&number), L"text");
    VariantClear(&number);

    VARIANT empty = typed(VT_EMPTY);
    EXPECT_EQ(setStrResult(&empty, L"1.04"), S_OK);
    ASSERT_EQ(V_VT(&empty), VT_BSTR);
    EXPECT_STREQ(V_BSTR(&empty), L"1.04");
    EXPECT_EQ(SysStringLen(V_BSTR(&empty)), 4u);
    VariantClear(&empty);

    VARIANT integer = typed(VT_I4);
    V_I4(&integer) = 3;
    EXPECT_EQ(setIntResult(&integer, 4), S_OK);
    EXPECT_EQ(V_VT(&integer), VT_I4);
    EXPECT_EQ(V_I4(&integer), 4);

    EXPECT_EQ(setIntResult(nullptr, 1), S_OK);
    EXPECT_EQ(setStrResult(nullptr, L"x"), S_OK);
}
