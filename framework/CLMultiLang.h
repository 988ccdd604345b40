// Language data and form translation. TCLMultiLangData holds the current
// language document and the built-in defaults; each translatable window
// carries a TCLMultiLang that writes the documents' texts into the published
// text properties of the window and its components (and can collect them
// back into a document).
#pragma once

#include "classlib/classes.h"
#include "classlib/strings.h"
#include "framework/CLMultiLangLan.h"

#include <memory>
#include <string>

class TCLMultiLang;

class TCLMultiLangData : public TComponent {
public:
    explicit TCLMultiLangData(TComponent* AOwner);
    ~TCLMultiLangData() override;

    // Current document, then defaults; "{AppName}" is filled in (except in
    // "AppName" of "AppRes" itself). False and strValue unchanged when
    // neither document has the key.
    bool GetProp(const std::string& strForm, const std::string& strComp, const std::string& strProp,
                 std::string& strValue);
    void SetProp(const std::string& strForm, const std::string& strComp, const std::string& strProp,
                 const std::string& strValue);
    void GetSectionStrings(const std::string& strSection, TStrings* sl);

    void LoadCurrentFromFile(const std::string& fn);
    void LoadDefaultFromFile(const std::string& fn);
    void SaveCurrentToFile(const std::string& fn);
    void ClearCurrentAll();
    void ClearCurrentAllForm();
    void CurrentToDefault();
    void DefaultToCurrent();
    void ClearForm(const std::string& strForm);
    void UpdateData();

    std::string GetAppName();
    // "Language", "Translator" and "Version" of section "Info" of the current document.
    std::string InfoLanguage();
    std::string InfoTranslator();
    std::string InfoVersion();

    void AddClient(TCLMultiLang* pClient);
    void RemoveClient(TCLMultiLang* pClient);
    void ApplyClients();
    void UpdateClients();
    void ClearClients();
    int ClientCount() const { return FClients.Count(); }

    // Published lists: the documents' texts as lines.
    TStrings* CurrentData();
    void SetCurrentData(const TStrings* Value);
    TStrings* DefaultData();
    void SetDefaultData(const TStrings* Value);
    TCLMultiLangLan* LangCurrentData() { return FLangCurrentData.get(); }
    TCLMultiLangLan* LangDefaultData() { return FLangDefaultData.get(); }

    bool ExcludeEmptyProp() const { return FExcludeEmptyProp; }
    void SetExcludeEmptyProp(bool Value) { FExcludeEmptyProp = Value; }
    TStrings* ExcludeProps() const { return FExcludeProps.get(); }
    bool AutoApply() const { return FAutoApply; }
    void SetAutoApply(bool Value) { FAutoApply = Value; }
    bool ExcludeNumberEndProps() const { return FExcludeNumberEndProps; }
    void SetExcludeNumberEndProps(bool Value) { FExcludeNumberEndProps = Value; }
    bool ExcludeWithAction() const { return FExcludeWithAction; }
    void SetExcludeWithAction(bool Value) { FExcludeWithAction = Value; }

    // Whether the property of component N (class C, property P of type T)
    // is left out when collecting.
    bool IsExcluded(const std::string& N, const std::string& C, const std::string& P,
                    const std::string& T) const;

private:
    std::string InfoValue(const std::string& Name);

    bool FExcludeEmptyProp = false;
    std::unique_ptr<TStringList> FExcludeProps;
    bool FAutoApply = true;
    bool FExcludeNumberEndProps = false;
    bool FExcludeWithAction = false;
    std::unique_ptr<TCLMultiLangLan> FLangCurrentData;
    std::unique_ptr<TCLMultiLangLan> FLangDefaultData;
    TList FClients;
    std::string FAppName;
};

class TCLMultiLang : public TComponent {
public:
    explicit TCLMultiLang(TComponent* AOwner);
    ~TCLMultiLang() override;

    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

    TCLMultiLangData* LanguageData() const { return FLanguageData; }
    void SetLanguageData(TCLMultiLangData* Value);

    void ApplyData();
    void ApplyProp(TComponent* TCom, const std::string& strParentComp);
    void UpdateData();
    void ClearData();
    bool GetProp(const std::string& strForm, const std::string& strComp, const std::string& strProp,
                 std::string& strValue);
    std::string Language();
    std::string GetResString(const std::string& strName);
    void GetSectionStrings(const std::string& strSection, TStrings* sl);

    TNotifyEvent OnChangeLanguage;

private:
    // The window's section: the class name of the owner.
    std::string FormSection() const;
    bool Translates(TComponent* c) const;
    void CollectProp(TComponent* TCom, const std::string& strSection);

    TCLMultiLangData* FLanguageData = nullptr;
};

// A translator for the window Owner (named "CLMultiLang") with the language
// data Data, registered and applied as when the window is loaded. Without data
// the window keeps its own texts.
TCLMultiLang* NewWindowTranslator(TComponent* Owner, TCLMultiLangData* Data);
