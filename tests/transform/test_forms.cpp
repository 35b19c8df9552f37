// Forms: field names, submit controls and their postfields, hidden fields,
// text areas, selects and options, and the form tags themselves.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "transform/form_fields.h"
#include "transform/forms_tables_support.h"

namespace quillmark {
namespace {

using testing::DeckCase;
using testing::DeckOf;
using testing::ExpectParagraphs;
using testing::ExpectParagraphsWith;
using testing::DeckWithSettings;
using testing::IsWellFormedXml;
using testing::ParagraphOf;

TEST(FormDeck, FieldsOfTwoFormsKeepApartAndPostThePageNames) {
  ExpectParagraphs({
      {"same name in two forms",
       "<form action=\"/a\"><input name=\"q\"><input type=\"submit\"></form>"
       "<form action=\"/b\"><input name=\"q\"><input type=\"submit\"></form>",
       "<input name=\"q\" type=\"text\"/><anchor title=\"submit\">submit<go href=\"/a\" method=\"get\">"
       "<postfield name=\"q\" value=\"$(q)\"/></go></anchor><br/><input name=\"f1_q\" type=\"text\"/>"
       "<anchor title=\"submit\">submit<go href=\"/b\" method=\"get\">"
       "<postfield name=\"q\" value=\"$(f1_q)\"/></go></anchor>"},
      {"names are lower-cased",
       "<form action=\"/a\"><input name=\"Email\" type=\"TEXT\"><input type=\"submit\"></form>",
       "<input name=\"email\" type=\"text\"/><anchor title=\"submit\">submit<go href=\"/a\" method=\"get\">"
       "<postfield name=\"email\" value=\"$(email)\"/></go></anchor>"},
      {"a field after the button is posted under the name it will get",
       "<form action=\"/a\"></form><form action=\"/b\"><input type=\"submit\"><input name=\"Q\"></form>",
       "<anchor title=\"submit\">submit<go href=\"/b\" method=\"get\">"
       "<postfield name=\"q\" value=\"$(f1_q)\"/></go></anchor><input name=\"f1_q\" type=\"text\"/>"},
      {"a page name that looks prefixed still gets its form's prefix",
       "<form action=\"/a\"><input name=\"f0_x\"><input type=\"submit\"></form>"
       "<form action=\"/b\"><input name=\"f1_x\"><input name=\"x\"><input type=\"submit\"></form>",
       "<input name=\"f0_x\" type=\"text\"/><anchor title=\"submit\">submit<go href=\"/a\" method=\"get\">"
       "<postfield name=\"f0_x\" value=\"$(f0_x)\"/></go></anchor><br/>"
       "<input name=\"f1_f1_x\" type=\"text\"/><input name=\"f1_x\" type=\"text\"/>"
       "<anchor title=\"submit\">submit<go href=\"/b\" method=\"get\">"
       "<postfield name=\"f1_x\" value=\"$(f1_f1_x)\"/><postfield name=\"x\" value=\"$(f1_x)\"/></go>"
       "</anchor>"},
      {"unnamed fields of a later form get the bare prefix and are not posted",
       "<form></form><form action=\"/b\"><input><select></select><input type=\"submit\"></form>",
       "<input name=\"f1_\" type=\"text\"/><select name=\"f1_\"><option value=\"\"></option></select>"
       "<anchor title=\"submit\">submit<go href=\"/b\" method=\"get\"></go></anchor>"},
  });
}

// Each button posts the fields its form holds when the walk reaches it.
TEST(FormDeck, EachButtonPostsTheFieldsItsFormThenHolds) {
  ExpectParagraphs({
      {"a named anchor's section is a card of its own, whose fields the form still posts",
       "<html><body><form action=\"/a\"><input type=\"submit\"><a name=\"n\"><input name=\"in\"></a>"
       "<input name=\"out\"><input type=\"submit\"></form></body></html>",
       "<anchor title=\"submit\">submit<go href=\"/a\" method=\"get\"><postfield name=\"in\" value=\"$(in)\"/>"
       "<postfield name=\"out\" value=\"$(out)\"/></go></anchor><br/><a href=\"#n\">Next</a></p></card>"
       "<card id=\"n\" title=\"\"><p><input name=\"in\" type=\"text\"/><input name=\"out\" type=\"text\"/>"
       "<anchor title=\"submit\">submit<go href=\"/a\" method=\"get\"><postfield name=\"in\" value=\"$(in)\"/>"
       "<postfield name=\"out\" value=\"$(out)\"/></go></anchor>"},
      {"a field named by the walk between two buttons, in an inner form, is posted by the later one",
       "<form><input type=\"submit\"><table><tr><form></tr><tr><form><input></tr><input type=\"submit\">",
       "<anchor title=\"submit\">submit<go href=\"\" method=\"get\"></go></anchor><br/>"
       "<input name=\"f1_\" type=\"text\"/><br/><anchor title=\"submit\">submit<go href=\"\" method=\"get\">"
       "<postfield name=\"f1_\" value=\"$(f1_)\"/></go></anchor>"},
  });
}

TEST(FormDeck, SubmitButtonBecomesLinkOrSoftKey) {
  const char* tail = "<go href=\"/s\" method=\"get\"><postfield name=\"btn\" value=\"Go\"/>"
                     "<postfield name=\"q\" value=\"$(q)\"/></go>";
  const std::string link = std::string("<anchor title=\"Go\">Go") + tail + "</anchor>";
  const std::string soft = std::string("<do label=\"Go\" type=\"accept\">") + tail + "</do>";
  struct Case {
    const char* attributes;
    std::string control;
  };
  const std::vector<Case> cases = {
      {"", link},
      {" button", soft},
      {" button=\"TRUE\"", soft},
      {" button=\"false\"", link},
      {" link=\"false\"", soft},
      {" button=\"true\" link=\"true\"", link},
      {" button=\"false\" link=\"no\"", soft},
  };
  for (const Case& c : cases) {
    const std::string page = std::string("<form action=\"/s\"><input name=\"q\">"
                                         "<input type=\"submit\" value=\"Go\" name=\"btn\"") +
                             c.attributes + "></form>";
    const std::string deck = DeckOf(page);
    EXPECT_EQ(ParagraphOf(deck), "<input name=\"q\" type=\"text\"/>" + c.control)
        << c.attributes;
    EXPECT_TRUE(IsWellFormedXml(deck)) << deck;
  }
}

TEST(FormDeck, TargetMethodAndCaption) {
  ExpectParagraphs({
      {"post in any case",
       "<form action=\"/p\" method=\"POST\"><input type=\"submit\" value=\"Send\"></form>",
       "<anchor title=\"Send\">Send<go href=\"/p\" method=\"post\"></go></anchor>"},
      {"other methods are get",
       "<form action=\"/p\" method=\"put\"><input type=\"submit\" value=\"Send\"></form>",
       "<anchor title=\"Send\">Send<go href=\"/p\" method=\"get\"></go></anchor>"},
      {"form without action",
       "<form><input type=\"submit\"></form>",
       "<anchor title=\"submit\">submit<go href=\"\" method=\"get\"></go></anchor>"},
      {"an empty value is the caption",
       "<form action=\"/p\"><input type=\"submit\" value=\"\" name=\"b\"></form>",
       "<anchor title=\"\"><go href=\"/p\" method=\"get\"><postfield name=\"b\" value=\"\"/></go></anchor>"},
      {"target ampersands are escaped by the go rule",
       "<form action=\"/p?a=1&b=2\"><input type=\"SUBMIT\"></form>",
       "<anchor title=\"submit\">submit<go href=\"/p?a=1;b=2\" method=\"get\"></go></anchor>"},
      {"markup in a caption stays text",
       "<form action=\"/p\"><input type=\"submit\" value='\"Go\" & <b>' name=\"B\"></form>",
       "<anchor title=\"&quot;Go&quot; &amp; &lt;b&gt;\">&quot;Go&quot; &amp; &lt;b&gt;"
       "<go href=\"/p\" method=\"get\"><postfield name=\"B\" value=\"&quot;Go&quot; &amp; &lt;b&gt;\"/></go>"
       "</anchor>"},
      {"a button outside any form leaves nothing",
       "x<input type=\"submit\" value=\"Go\">y",
       "xy"},
      {"a button after its form has closed leaves nothing",
       "<form action=\"/p\">a</form><input type=\"submit\">",
       "a"},
      {"a button belongs to the innermost open form",
       "<form action=\"/a\"><input name=\"o\"><form action=\"/b\"><input type=\"submit\" value=\"B\"></form>"
       "<input type=\"submit\" value=\"A\"></form>",
       "<input name=\"o\" type=\"text\"/><br/><anchor title=\"B\">B<go href=\"/b\" method=\"get\"></go>"
       "</anchor><br/><anchor title=\"A\">A<go href=\"/a\" method=\"get\">"
       "<postfield name=\"o\" value=\"$(o)\"/></go></anchor>"},
  });
}

// Read as HTML reads the page, a hidden field shows nothing and every button
// of its form posts its value; a picture or button element submits, and
// reset and script buttons go.
TEST(FormDeck, HiddenFieldsArePostedByValueAndButtonsOfEveryKindSubmit) {
  ExpectParagraphs({
      {"hidden after the button posts its value",
       "<form action=\"/s\"><input type=\"submit\"><input type=\"hidden\" name=\"id\" value=\"7\"></form>",
       "<anchor title=\"submit\">submit<go href=\"/s\" method=\"get\"><postfield name=\"id\" value=\"7\"/>"
       "</go></anchor>"},
      {"hidden before the button, in a later form, posts its value under its page name",
       "<form></form><form action=\"/s\"><input type=\"hidden\" name=\"ID\" value=\"a&amp;b\"><input type=\"submit\">"
       "</form>",
       "<anchor title=\"submit\">submit<go href=\"/s\" method=\"get\">"
       "<postfield name=\"id\" value=\"a&amp;b\"/></go></anchor>"},
      {"hidden without value is not posted",
       "<form action=\"/s\"><input type=\"hidden\" name=\"id\"><input type=\"submit\"></form>",
       "<anchor title=\"submit\">submit<go href=\"/s\" method=\"get\"></go></anchor>"},
      {"a picture submits under its alt text and posts the point clicked, reset and script buttons go",
       "<form action=\"/s\"><input name=q><input type=image src=go.gif alt=Find name=go><input type=reset>"
       "<input type=button value=B><button type=reset>R</button><button type=button>S</button></form>",
       "<input name=\"q\" type=\"text\"/><anchor title=\"Find\">Find<go href=\"/s\" method=\"get\">"
       "<postfield name=\"go.x\" value=\"0\"/><postfield name=\"go.y\" value=\"0\"/>"
       "<postfield name=\"q\" value=\"$(q)\"/></go></anchor>"},
      {"a button element submits under its text and posts its own value",
       "<form action=\"/s\"><button name=b value=v><img src=i.gif alt=Send> <b>it\n</b></button><input name=q>"
       "</form>",
       "<anchor title=\"Send it\">Send it<go href=\"/s\" method=\"get\"><postfield name=\"b\" value=\"v\"/>"
       "<postfield name=\"q\" value=\"$(q)\"/></go></anchor><input name=\"q\" type=\"text\"/>"},
      {"a button outside a form is its text", "<button>Go</button>", "Go"},
      {"disabled controls, or those of a disabled fieldset, are neither posted nor pressed",
       "<form action=/s><input name=a disabled><input type=hidden name=h value=3 disabled><fieldset disabled>"
       "<button>In</button></fieldset><input type=submit disabled><input type=submit value=OK></form>",
       "<input name=\"field\" type=\"text\"/><fieldset></fieldset>"
       "<anchor title=\"OK\">OK<go href=\"/s\" method=\"get\"></go></anchor>"},
      {"a button's formaction and formmethod override its form's, for it alone; buttons side by side part",
       "<form action=/s><button formaction=/o formmethod=POST>B</button><input type=submit formaction=\" \">"
       "</form>",
       "<anchor title=\"B\">B<go href=\"/o\" method=\"post\"></go></anchor> "
       "<anchor title=\"submit\">submit<go href=\"/s\" method=\"get\"></go></anchor>"},
  });
}

// With BLOCK_BREAKS=false a hidden field is a text input, posted by its
// value before the walk reaches it and by its variable after; other
// buttons than submit inputs are what their tags hold.
TEST(FormDeck, WithTheKeyOffHiddenFieldsAreTextInputsAndOnlySubmitInputsSubmit) {
  CWmlSettings off;
  off.blockBreaks = 0;
  ExpectParagraphsWith(off, {
      {"hidden after the button posts its value",
       "<form action=\"/s\"><input type=\"submit\"><input type=\"hidden\" name=\"id\" value=\"7\"></form>",
       "<br/><anchor title=\"submit\">submit<go href=\"/s\" method=\"get\">"
       "<postfield name=\"id\" value=\"7\"/></go></anchor>"
       "<input type=\"text\" name=\"id\" value=\"7\"/><br/>"},
      {"hidden before the button posts the input's variable",
       "<form action=\"/s\"><input type=\"hidden\" name=\"ID\" value=\"7\"><input type=\"submit\"></form>",
       "<br/><input type=\"text\" name=\"id\" value=\"7\"/>"
       "<anchor title=\"submit\">submit<go href=\"/s\" method=\"get\">"
       "<postfield name=\"id\" value=\"$(id)\"/></go></anchor><br/>"},
      {"pictures and buttons", "<form action=\"/s\"><input type=image name=go><button>Go</button></form>",
       "<br/><input type=\"text\" name=\"go\"/>Go<br/>"},
      {"a submit input's formaction is not read",
       "<form action=\"/s\"><input type=\"submit\" formaction=\"/o\"></form>",
       "<br/><anchor title=\"submit\">submit<go href=\"/s\" method=\"get\"></go></anchor><br/>"},
  });
}

// Enter in a form's only text field submits a form that has no button; a
// phone has no Enter key, so such a form gets the link a button would give.
TEST(FormDeck, AFormWithoutButtonsIsSubmittedFromItsOnlyTextField) {
  const std::string field = "<input name=\"q\" type=\"text\"/>";
  const std::string link =
      "<anchor title=\"submit\">submit<go href=\"/s\" method=\"get\"><postfield name=\"q\" value=\"$(q)\"/></go></anchor>";
  const std::string between = "x<br/>" + field + link + "<br/>y";
  const std::string alone = field + link;
  const std::string two = field + "<input name=\"r\" type=\"text\"/>";
  const std::string byTags = "<br/>" + field + "<br/>";
  ExpectParagraphs({
      {"at the end of the form's content", "x<form action=/s><input name=q></form>y", between.c_str()},
      {"a script's button submits nothing", "<form action=/s><input name=q><button type=button>B</button></form>",
       alone.c_str()},
      {"two text fields submit nothing", "<form action=/s><input name=q><input name=r></form>", two.c_str()},
      {"a form without a target (a script's) submits nothing", "<form><input name=q></form>", field.c_str()},
      {"a check box submits nothing", "<form action=/s><input type=checkbox name=c></form>",
       "<select name=\"c\" multiple=\"true\"><option value=\"on\">on</option></select>"},
  });
  CWmlSettings off;
  off.blockBreaks = 0;
  ExpectParagraphsWith(off, {{"read by its tags alone", "<form action=/s><input name=q></form>", byTags.c_str()}});
}

TEST(FormDeck, TextAreasSelectsAndOptions) {
  ExpectParagraphs({
      {"text area in the second form",
       "<form></form><form action=\"/m\"><textarea name=\"Msg\" rows=\"3\">hello</textarea>"
       "<input type=\"submit\"></form>",
       "<input name=\"f1_msg\" type=\"text\" value=\"hello\"/><anchor title=\"submit\">submit"
       "<go href=\"/m\" method=\"get\"><postfield name=\"msg\" value=\"$(f1_msg)\"/></go></anchor>"},
      {"text area after the button",
       "<form action=\"/m\"><input type=\"submit\"><textarea name=\"t\">a &amp; \"b\"</textarea></form>",
       "<anchor title=\"submit\">submit<go href=\"/m\" method=\"get\"><postfield name=\"t\" value=\"$(t)\"/>"
       "</go></anchor><input name=\"t\" type=\"text\" value=\"a &amp; &quot;b&quot;\"/>"},
      {"a jump menu's options go where its script went; its prompt and script options lead nowhere",
       "<select name=nav onchange=\"location.href=this.value\"><option value=\"\">Choose<option value=news.html>News"
       "<option value=\"/s?a=1&b=2\">S<option value=javascript:x()>J</select>",
       "<select name=\"nav\"><option value=\"\">Choose</option><option value=\"news.html\" onpick=\"news.html\">"
       "News</option><option value=\"/s?a=1&amp;b=2\" onpick=\"/s?a=1;b=2\">S</option>"
       "<option value=\"javascript:x()\">J</option></select>"},
      {"empty text area",
       "<textarea name=\"t\"><!-- c --></textarea>",
       "<input name=\"t\" type=\"text\"/>"},
      {"select with options",
       "<form action=\"/c\"><select name=\"Colour\" multiple><p>no</p>"
       "<option> Red </option><option value=\"g\">Green</option><option></option>"
       "<option><!-- c --><b>Blue</b></option><option><!-- c --><onevent type=\"onpick\"><go href=\"/x\"/>"
       "</onevent></option></select><input type=\"submit\"></form>",
       "<select name=\"colour\" multiple=\"true\"><option value=\"Red\">Red </option>"
       "<option value=\"g\">Green</option><option value=\"\"></option><option value=\"Blue\">Blue</option>"
       "<option><onevent type=\"onpick\"><go href=\"/x\"/></onevent></option></select>"
       "<anchor title=\"submit\">submit<go href=\"/c\" method=\"get\">"
       "<postfield name=\"colour\" value=\"$(colour)\"/></go></anchor>"},
      {"option groups and a quoted option text",
       "<select name=\"s\"><optgroup title=\"A\" x=\"1\"><option>5\" &lt;</option></optgroup></select>",
       "<select name=\"s\"><optgroup title=\"A\"><option value=\"5&quot; &lt;\">5\" &lt;</option>"
       "</optgroup></select>"},
      {"empty select gets an empty option",
       "<select name=\"c\"></select>",
       "<select name=\"c\"><option value=\"\"></option></select>"},
      {"self-closing select goes",
       "a<select name=\"c\"/>b",
       "ab"},
      {"an option without text shows its label, one with text its text",
       "<select name=c><option label=\"A &amp; B\"> </option><option value=2 label=L>2</option></select>",
       "<select name=\"c\"><option value=\"\">A &amp; B</option><option value=\"2\">2</option></select>"},
  });
}

TEST(FormDeck, FormsKeepTheirContentBetweenBreaks) {
  ExpectParagraphs({
      {"content stays in place", "a<form action=\"/x\">b</form>c", "a<br/>b<br/>c"},
      {"self-closing form leaves nothing but counts",
       "<form/><form action=\"/x\"><input name=\"q\"></form>",
       "<input name=\"f1_q\" type=\"text\"/><anchor title=\"submit\">submit<go href=\"/x\" method=\"get\">"
       "<postfield name=\"q\" value=\"$(f1_q)\"/></go></anchor>"},
  });
}

// A form of four fields with a button in the middle, between texts that its
// breaks divide it from, for the settings cases.
constexpr char kSettingsPage[] =
    "x<form action=\"/s\">a<input name=\"q\"><input type=\"submit\" value=\"Go\"></form>y";

TEST(FormSettings, SubmitAsLinkAndBreaksFollowTheDeviceSettings) {
  struct Case {
    int32_t submitAsLink;
    int32_t breakBefore;
    int32_t breakAfter;
    const char* paragraph;
  };
  const char* go = "<go href=\"/s\" method=\"get\"><postfield name=\"q\" value=\"$(q)\"/></go>";
  const std::string link = std::string("<anchor title=\"Go\">Go") + go + "</anchor>";
  const std::string soft = std::string("<do label=\"Go\" type=\"accept\">") + go + "</do>";
  const std::string field = "a<input name=\"q\" type=\"text\"/>";
  const std::vector<std::pair<Case, std::string>> cases = {
      {{1, 1, 1, "default"}, "x<br/>" + field + link + "<br/>y"},
      {{0, 1, 1, "soft key"}, "x<br/>" + field + soft + "<br/>y"},
      {{7, 0, 0, "no breaks"}, "x" + field + link + "y"},
      {{0, 1, 0, "break before only"}, "x<br/>" + field + soft + "y"},
      {{1, 0, 2, "break after only"}, "x" + field + link + "<br/>y"},
  };
  for (const auto& [c, paragraph] : cases) {
    CWmlSettings settings;
    settings.submitAsLink = c.submitAsLink;
    settings.breakBefore = c.breakBefore;
    settings.breakAfter = c.breakAfter;
    const std::string deck = DeckWithSettings(kSettingsPage, settings);
    EXPECT_EQ(ParagraphOf(deck), paragraph) << c.paragraph;
    EXPECT_TRUE(IsWellFormedXml(deck)) << c.paragraph;
  }
}

TEST(FormSettings, ButtonAttributeOverridesSoftKeyDefault) {
  CWmlSettings settings;
  settings.submitAsLink = 0;
  const std::string deck =
      DeckWithSettings("<form action=\"/s\"><input type=\"submit\" button=\"false\"></form>", settings);
  EXPECT_EQ(ParagraphOf(deck), "<anchor title=\"submit\">submit<go href=\"/s\" method=\"get\"></go></anchor>");
}

// Field names read from single tags, outside any walk.
struct NameCase {
  const char* tag;
  int32_t formCount;
  const char* variable;
  const char* postedBefore;  // posted name of a field not yet rewritten
};

TEST(FieldNames, VariableAndPostedNames) {
  const std::vector<NameCase> cases = {
      {"<input name=\"Q\">", 0, "q", "q"},
      {"<input name=\"Q\">", 1, "f1_q", "q"},
      {"<input name=\"f2_q\">", 2, "f2_f2_q", "f2_q"},
      {"<input>", 3, "f3_", ""},
      {"<select name=\"\">", 1, "f1_", ""},
      {"<input>", 0, "", ""},
      {"<input name='a\"&b'>", 0, "a&quot;&amp;b", "a&quot;&amp;b"},
      {"<textarea name=\"T\">", 12, "f12_t", "t"},
  };
  for (const NameCase& c : cases) {
    CXmlNode root;
    CXmlNode* field = root.CreateNode(c.tag);
    root.AppendChild(field);
    EXPECT_EQ(FieldVariableName(field, c.formCount, ReferenceMode::kConvert), c.variable) << c.tag;
    EXPECT_EQ(FieldPostName(field, c.formCount, ReferenceMode::kConvert, false), c.postedBefore) << c.tag;
  }
}

// Read as HTML reads the page, every field's variable is one a phone can
// name, its postfields read that variable, and no two names meet; with
// the key off the page's names stand.
TEST(FieldNames, DeckVariablesAreNamesAPhoneReads) {
  ExpectParagraphs({
      {"bytes a variable cannot hold are written in hex, and the postfield follows",
       "<form action=/s><input name=\"user[email]\"><input type=submit></form>",
       "<input name=\"user_5bemail_5d\" type=\"text\"/><anchor title=\"submit\">submit"
       "<go href=\"/s\" method=\"get\"><postfield name=\"user[email]\" value=\"$(user_5bemail_5d)\"/>"
       "</go></anchor>"},
      {"a button before the fields, a leading digit, a name that is taken",
       "<form action=/s><input type=submit><input name=9-a><input name=_9_2da><select name=9-a><option>x"
       "</select></form>",
       "<anchor title=\"submit\">submit<go href=\"/s\" method=\"get\"><postfield name=\"9-a\" value=\"$(_9_2da_2)\"/>"
       "<postfield name=\"_9_2da\" value=\"$(_9_2da)\"/><postfield name=\"9-a\" value=\"$(_9_2da_2)\"/></go></anchor>"
       "<input name=\"_9_2da_2\" type=\"text\"/><input name=\"_9_2da\" type=\"text\"/>"
       "<select name=\"_9_2da_2\"><option value=\"x\">x</option></select>"},
      {"unnamed inputs get names of their own, an unnamed select none",
       "<input name=field><input><textarea></textarea><select><option>x</select>",
       "<input name=\"field\" type=\"text\"/><input name=\"field_2\" type=\"text\"/>"
       "<input type=\"text\" name=\"field_3\"/><select><option value=\"x\">x</option></select>"},
  });
  CWmlSettings off;
  off.blockBreaks = 0;
  ExpectParagraphsWith(off, {{"the key off", "<input name=\"a-b\"><input>",
                              "<input name=\"a-b\" type=\"text\"/><input name=\"\" type=\"text\"/>"}});
}

TEST(FieldNames, RewrittenFieldsLoseTheirPrefixOnceAndEndTagsReadTheirStartTag) {
  CXmlNode root;
  CXmlNode* start = root.CreateNode("<select name=\"f1_f1_x\">");
  root.AppendChild(start);
  CXmlNode* end = root.CreateNode("</select>");
  start->InsertAfter(end);
  EXPECT_EQ(FieldPostName(start, 1, ReferenceMode::kConvert, true), "f1_x");
  EXPECT_EQ(FieldPostName(end, 1, ReferenceMode::kConvert, true), "f1_x");
  EXPECT_EQ(FieldVariableName(end, 1, ReferenceMode::kConvert), "f1_f1_f1_x");
  EXPECT_EQ(FieldPostName(start, 0, ReferenceMode::kConvert, true), "f1_f1_x");
}

// The child of `parent` whose `type` is `type`, or null.
CXmlNode* ChildOfType(const CXmlNode* parent, const char* type) {
  for (CXmlNode* child = parent->GetFirstChild(); child != nullptr; child = child->GetNext()) {
    const char* own = child->IsTag() ? child->GetElement()->GetAttribute("type") : nullptr;
    if (own != nullptr && std::string(own) == type) return child;
  }
  return nullptr;
}

TEST(AddPostfields, PostsNamedFieldsInDocumentOrderOnly) {
  const std::string page =
      "<form><b><input name=\"a\"></b><select name=\"s\"></select>"
      "<input type=\"radio\" name=\"r\"><input type=\"submit\" name=\"x\">"
      "<textarea name=\"t\"></textarea><input type=\"HIDDEN\" name=\"h\" value=\"v\">"
      "<input type=\"Password\" name=\"p\"><input type=\"text\" name=\"\"></form><go></go>";
  CXmlNode root;
  root.ParseMarkup(page.data(), static_cast<int32_t>(page.size()));
  NormalizeTree(&root);
  CXmlNode* form = root.GetFirstChild();
  CXmlNode* go = form->GetNext()->GetNext();
  ASSERT_TRUE(go->IsTagNamed("go"));
  CXmlNode* submit = ChildOfType(form, "submit");
  ASSERT_NE(submit, nullptr);
  AddPostfields(form->GetFirstChild(), go, submit, 0, ReferenceMode::kConvert);
  EXPECT_EQ(testing::WrittenText(*go),
            "<go><postfield name=\"a\" value=\"$(a)\"/><postfield name=\"s\" value=\"$(s)\"/>"
            "<postfield name=\"t\" value=\"$(t)\"/><postfield name=\"h\" value=\"v\"/>"
            "<postfield name=\"p\" value=\"$(p)\"/>");
}

TEST(FormScale, TheDeckGrowsLinearlyWithTheNumberOfFields) {
  auto page = [](int fields) {
    std::string text = "<form action=\"/s\">";
    for (int i = 0; i < fields; ++i) text += "<input name=\"f" + std::to_string(i) + "\">";
    text += "<input type=\"submit\" name=\"go\">";
    for (int i = 0; i < fields; ++i) text += "<input type=\"hidden\" name=\"h" + std::to_string(i) + "\" value=\"1\">";
    return text + "</form>";
  };
  const std::string small = page(5000);
  const std::string large = page(20000);
  const std::string deck = DeckOf(large);
  EXPECT_NE(deck.find("<postfield name=\"h19999\" value=\"1\"/>"), std::string::npos);
  EXPECT_NE(deck.find("<postfield name=\"f19999\" value=\"$(f19999)\"/>"), std::string::npos);
  // Four times the fields give about four times the deck, not the sixteen
  // times of postfields repeated per field (the benchmark times it).
  EXPECT_LT(deck.size(), DeckOf(small).size() * 5);
}

// Runs the conversion on a thread with a small stack; returns the deck and
// stores the seconds it took.
std::string DeckOnSmallStack(const std::string& page, double& seconds) {
  std::string deck;
  const bool ran = testing::RunWithStack(256 * 1024, [&] {
    const auto begin = std::chrono::steady_clock::now();
    deck = DeckOf(page);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  });
  EXPECT_TRUE(ran);
  return deck;
}

TEST(FormScale, DeepNestingNeedsNoDeepStackAndButtonsDoNotClimb) {
  constexpr int kDepth = 100000;
  std::string nested;
  for (int i = 0; i < kDepth; ++i) nested += "<div>";
  double seconds = 0;
  const std::string inForm =
      DeckOnSmallStack("<form action=\"/s\">" + nested + "<input name=\"q\"><input type=\"submit\">", seconds);
  EXPECT_TRUE(IsWellFormedXml(inForm));
  EXPECT_NE(inForm.find("<postfield name=\"q\" value=\"$(q)\"/>"), std::string::npos);
  std::string buttons;
  for (int i = 0; i < kDepth; ++i) buttons += "<input type=\"submit\">";
  const std::string outside = DeckOnSmallStack(nested + buttons, seconds);
  RecordProperty("seconds_100000_deep_buttons", std::to_string(seconds));
  EXPECT_TRUE(IsWellFormedXml(outside));
  EXPECT_EQ(outside.find("<anchor"), std::string::npos);
  // One climb per button would take minutes.
  EXPECT_LT(seconds, 20.0);
}

}  // namespace
}  // namespace quillmark
