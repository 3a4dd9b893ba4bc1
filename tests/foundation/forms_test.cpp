#include <gtest/gtest.h>

#include "foundation/base_forms.h"
#include "foundation/form_factory.h"
#include "foundation/scroll_box.h"
#include "platform/core/resources.h"
#include "tests/foundation/desktop_fixture.h"

namespace qel {

// Dialog classes of the tests.
class TTestDialog : public TqelSystemForm {
    QEL_CLASS(TTestDialog, TqelSystemForm)
    using TqelSystemForm::TqelSystemForm;
};
class TTestDialogPlus : public TTestDialog {
    QEL_CLASS(TTestDialogPlus, TTestDialog)
    using TTestDialog::TTestDialog;
};
class TTestDialogPlusPlus : public TTestDialogPlus {
    QEL_CLASS(TTestDialogPlusPlus, TTestDialogPlus)
    using TTestDialogPlus::TTestDialogPlus;
};
class TTestOther : public TqelApplicationForm {
    QEL_CLASS(TTestOther, TqelApplicationForm)
    using TqelApplicationForm::TqelApplicationForm;
};
class TTestNavForm : public TqelnpApplicationForm {
    QEL_CLASS(TTestNavForm, TqelnpApplicationForm)
    using TqelnpApplicationForm::TqelnpApplicationForm;
};
QEL_IMPLEMENT_CLASS(TTestDialog)
QEL_IMPLEMENT_CLASS(TTestDialogPlus)
QEL_IMPLEMENT_CLASS(TTestDialogPlusPlus)
QEL_IMPLEMENT_CLASS(TTestOther)
QEL_IMPLEMENT_CLASS(TTestNavForm)

namespace {

using testing_support::DesktopTest;

class FormFactoryTest : public DesktopTest {
protected:
    void TearDown() override {
        for (TClass c : {TTestDialog::StaticClass(), TTestOther::StaticClass(), TTestNavForm::StaticClass()})
            FormFactory()->UnregisterFormClass(c);
        DesktopTest::TearDown();
    }
};

TEST_F(FormFactoryTest, RegisterReplaceAndCreate) {
    TqelFormFactory* f = FormFactory();
    EXPECT_EQ(f, FormFactory());
    f->RegisterForm(TTestDialog::StaticClass());
    EXPECT_EQ(f->FindFormClass(TTestDialog::StaticClass()), TTestDialog::StaticClass());
    TCustomForm* a = f->CreateForm(TTestDialog::StaticClass(), Application);
    EXPECT_EQ(a->ClassName(), "TTestDialog");
    EXPECT_EQ(a->Owner(), Application);

    // A second registration for the same base replaces the first and unregisters its class.
    f->RegisterFormClass(TTestDialog::StaticClass(), TTestDialogPlus::StaticClass());
    EXPECT_EQ(f->FindFormClass(TTestDialog::StaticClass()), TTestDialogPlus::StaticClass());
    EXPECT_EQ(GetClass("TTestDialogPlus"), TTestDialogPlus::StaticClass());
    TCustomForm* b = f->CreateForm(TTestDialog::StaticClass(), Application);
    EXPECT_EQ(b->ClassName(), "TTestDialogPlus");
    f->RegisterFormClass(TTestDialog::StaticClass(), TTestDialogPlusPlus::StaticClass());
    EXPECT_EQ(GetClass("TTestDialogPlus"), nullptr);
    EXPECT_EQ(f->CreateForm(TTestDialog::StaticClass(), Application)->ClassName(), "TTestDialogPlusPlus");
}

TEST_F(FormFactoryTest, ANonDescendantIsRefusedAndChangesNothing) {
    TqelFormFactory* f = FormFactory();
    f->RegisterForm(TTestDialog::StaticClass());
    int before = f->Count();
    try {
        f->RegisterFormClass(TTestDialog::StaticClass(), TTestOther::StaticClass());
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.ClassName(), "Exception");
        EXPECT_EQ(e.Message(), "Form Factory error: TTestOther does not inherit from TTestDialog");
    }
    EXPECT_EQ(f->Count(), before);
    EXPECT_EQ(f->FindFormClass(TTestDialog::StaticClass()), TTestDialog::StaticClass());
}

TEST_F(FormFactoryTest, UnknownBaseRaisesInsteadOfReturningNothing) {
    TqelFormFactory* f = FormFactory();
    EXPECT_EQ(f->FindFormClass(TTestOther::StaticClass()), nullptr);
    EXPECT_THROW(f->CreateForm(TTestOther::StaticClass(), Application), Exception);
    f->RegisterForm(TTestOther::StaticClass());
    f->UnregisterFormClass(TTestOther::StaticClass());
    EXPECT_EQ(f->FindFormClass(TTestOther::StaticClass()), nullptr);
    EXPECT_EQ(GetClass("TTestOther"), nullptr);
    f->UnregisterFormClass(TTestOther::StaticClass()); // not registered: nothing happens
}

TEST_F(FormFactoryTest, BaseFormsApplyTheirFontsAfterTheFormFile) {
    // The form file stores another font; the base form's font wins.
    RegisterResourceCopy("TTestDialog", kFormResourceType,
                         "object TestDialog: TTestDialog\n  Caption = 'Dialog'\n  Font.Name = 'Courier New'\n"
                         "  Font.Height = -20\n  Font.Style = [fsBold]\nend\n",
                         "test_dialog.qfm");
    auto* d = CreateComponent<TTestDialog>(Application);
    EXPECT_EQ(d->GetCaption(), "Dialog");
    EXPECT_EQ(d->GetFont()->GetName(), "MS Sans Serif");
    EXPECT_EQ(d->GetFont()->GetSize(), 8);
    EXPECT_TRUE(d->GetFont()->GetStyle().Empty());
    UnregisterResource("TTestDialog", kFormResourceType);

    auto* o = CreateComponent<TTestOther>(Application);
    EXPECT_EQ(o->GetFont()->GetName(), "Arial");
    EXPECT_EQ(o->GetFont()->GetSize(), 10);
    auto* n = CreateComponent<TTestNavForm>(Application);
    EXPECT_EQ(n->GetFont()->GetName(), "Arial");
    EXPECT_EQ(n->GetFont()->GetSize(), 10);
    EXPECT_TRUE(n->InheritsFrom(TqelnpForm::StaticClass()));
    EXPECT_EQ(EnumInfo<TqelPopupFormStyle>().NameOf(pfsStayOnTop), "pfsStayOnTop");
    EXPECT_EQ(static_cast<int>(pfsStayOnTop), 3);
}

// ---- scroll box
// -------------------------------------------------------------------------------------------------

TEST_F(FormFactoryTest, ScrollBoxReportsScrollsBeforeHandlingThem) {
    auto* form = static_cast<TForm*>(TCustomForm::CreateNew(Application));
    form->SetBounds(10, 10, 300, 300);
    auto* box = new TqelCustomScrollBox(form);
    EXPECT_EQ(box->GetWidth(), 185);
    EXPECT_EQ(box->GetHeight(), 41);
    EXPECT_EQ(box->GetBorderStyle(), bsSingle);
    box->SetParent(form);
    box->SetBounds(0, 0, 100, 100);
    auto* inner = new TqelEdgePanel(form);
    inner->SetParent(box);
    inner->SetBounds(0, 0, 80, 400);
    form->Show();
    Settle();
    std::vector<std::pair<int, int>> seen;
    box->SetOnScrollV([&](TObject*, int code, int& pos) {
        seen.emplace_back(code, pos);
        pos = 40; // the handler's position is the one used
    });
    SendMessage(box->Handle(), WM_VSCROLL, (static_cast<WPARAM>(10) << 16) | SB_THUMBPOSITION, 0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], (std::pair<int, int>{SB_THUMBPOSITION, 10}));
    EXPECT_EQ(box->GetVertScrollBar()->GetPosition(), 40);
    EXPECT_TRUE(GetWindowLongPtr(box->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    box->SetCtl3D(false);
    EXPECT_TRUE(GetWindowLongPtr(box->Handle(), GWL_STYLE) & WS_BORDER);
}

} // namespace
} // namespace qel
