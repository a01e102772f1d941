#include "windows/Forms.h"

#include "windows/form_CDBurn.h"
#include "windows/form_CDRip.h"
#include "windows/form_Record.h"
#include "windows/form_SaveToWav.h"
#include "windows/form_LoadRepository.h"
#include "windows/form_Trace.h"
#include "windows/form_Main.h"
#include "windows/form_MixView.h"
#include "windows/form_Preferences.h"
#include "windows/form_Transformation.h"
#include "windows/form_Transition.h"
#include "windows/form_Trigger.h"

TFormTrace* FormTrace = nullptr;

namespace {

template <typename Form>
void Create(Form*& global)
{
    global = new Form();
}

template <typename Form>
void Destroy(Form*& global)
{
    delete global;
    global = nullptr;
}

} // namespace

void CreateForms()
{
    Create(FormMain);
    Create(FormTrace);
    Create(FormSaveToWav);
    Create(FormTransition);
    Create(FormRecord);
    Create(FormCDRip);
    Create(FormMixView);
    Create(FormTransformation);
    Create(FormLoadRepository);
    Create(FormTrigger);
    Create(FormCDBurn);
    Create(FormPreferences);
}

void DestroyForms()
{
    Destroy(FormPreferences);
    Destroy(FormCDBurn);
    Destroy(FormTrigger);
    Destroy(FormLoadRepository);
    Destroy(FormTransformation);
    Destroy(FormMixView);
    Destroy(FormCDRip);
    Destroy(FormRecord);
    Destroy(FormTransition);
    Destroy(FormSaveToWav);
    Destroy(FormTrace);
    Destroy(FormMain);
}
