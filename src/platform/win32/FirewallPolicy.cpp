// Windows: Windows Firewall's policy through INetFwPolicy2, which any user may read. The calling
// thread has COM initialised (the shell's apartment); where it has not, or the firewall's class or
// any of its answers is missing (Wine has no firewall), nothing is given: a policy read in part
// could claim a block that is not there.
#include "platform/FirewallPolicy.h"

#include <string>
#include <string_view>

#include "platform/win32/ComRef.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"

// After windows.h, on which they build.
#include <netfw.h>
#include <oleauto.h>

namespace varo {

namespace {

using win32::ComRef;

// An answer of the firewall that could not be had.
struct Unanswered {};

void Check(HRESULT result) {
  if (FAILED(result)) throw Unanswered{};
}

bool IsTrue(VARIANT_BOOL value) {
  return value != VARIANT_FALSE;
}

// Expands the environment variables a rule's path may hold ("%ProgramFiles%\...").
std::wstring Expanded(const std::wstring& text) {
  if (text.find(L'%') == std::wstring::npos) return text;
  const DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (size == 0) return text;
  std::wstring expanded(size, L'\0');
  const DWORD written = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), size);
  if (written == 0 || written > size) return text;
  expanded.resize(written - 1);  // the terminator counted
  return expanded;
}

// A text answer: get fills a BSTR, which an empty text may leave null.
template <typename Getter>
std::wstring TextOf(Getter get) {
  BSTR text = nullptr;
  const HRESULT result = get(&text);
  std::wstring wide = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"";
  SysFreeString(text);
  Check(result);
  return wide;
}

// Reads an inbound, enabled rule's terms.
FirewallRule InboundRule(INetFwRule* rule) {
  FirewallRule read;
  read.Enabled = true;
  read.Inbound = true;
  NET_FW_ACTION action = NET_FW_ACTION_BLOCK;
  Check(rule->get_Action(&action));
  read.Allows = action == NET_FW_ACTION_ALLOW;
  LONG profiles = 0;
  Check(rule->get_Profiles(&profiles));
  read.Profiles = static_cast<std::uint32_t>(profiles);
  LONG protocol = 0;
  Check(rule->get_Protocol(&protocol));
  read.Protocol = static_cast<int>(protocol);
  read.Application = win32::Narrow(
      Expanded(TextOf([rule](BSTR* text) { return rule->get_ApplicationName(text); })));
  read.Service = win32::Narrow(TextOf([rule](BSTR* text) { return rule->get_ServiceName(text); }));
  read.LocalPorts =
      win32::Narrow(TextOf([rule](BSTR* text) { return rule->get_LocalPorts(text); }));
  read.RemoteAddresses =
      win32::Narrow(TextOf([rule](BSTR* text) { return rule->get_RemoteAddresses(text); }));
  return read;
}

// The next rule of the enumeration, or false at its end.
bool NextRule(IEnumVARIANT* rules, ComRef<INetFwRule>& rule) {
  VARIANT item;
  VariantInit(&item);
  ULONG fetched = 0;
  const HRESULT result = rules->Next(1, &item, &fetched);
  Check(result);
  if (result != S_OK || fetched == 0) {
    VariantClear(&item);
    return false;
  }
  const HRESULT asked = item.vt == VT_DISPATCH && item.pdispVal != nullptr
                            ? item.pdispVal->QueryInterface(__uuidof(INetFwRule), rule.OutAsVoid())
                            : E_NOINTERFACE;
  VariantClear(&item);
  Check(asked);
  return true;
}

// The inbound rules in force; outbound and disabled ones say nothing about requests.
std::vector<FirewallRule> InboundRules(INetFwPolicy2* policy) {
  ComRef<INetFwRules> rules;
  Check(policy->get_Rules(rules.Out()));
  ComRef<IUnknown> enumerator;
  Check(rules->get__NewEnum(enumerator.Out()));
  ComRef<IEnumVARIANT> each;
  Check(enumerator->QueryInterface(IID_IEnumVARIANT, each.OutAsVoid()));
  std::vector<FirewallRule> read;
  for (;;) {
    ComRef<INetFwRule> rule;
    if (!NextRule(each.Get(), rule)) return read;
    VARIANT_BOOL enabled = VARIANT_FALSE;
    Check(rule->get_Enabled(&enabled));
    NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_OUT;
    Check(rule->get_Direction(&direction));
    if (IsTrue(enabled) && direction == NET_FW_RULE_DIR_IN) {
      read.push_back(InboundRule(rule.Get()));
    }
  }
}

FirewallAnswers Answers(INetFwPolicy2* policy) {
  static_assert(FirewallDomain == NET_FW_PROFILE2_DOMAIN &&
                FirewallPrivate == NET_FW_PROFILE2_PRIVATE &&
                FirewallPublic == NET_FW_PROFILE2_PUBLIC && FirewallUdp == NET_FW_IP_PROTOCOL_UDP);
  FirewallAnswers answers;
  LONG current = 0;
  Check(policy->get_CurrentProfileTypes(&current));
  answers.CurrentProfiles = static_cast<std::uint32_t>(current);
  for (const std::uint32_t bit : {FirewallDomain, FirewallPrivate, FirewallPublic}) {
    if ((answers.CurrentProfiles & bit) == 0) continue;
    const auto profile = static_cast<NET_FW_PROFILE_TYPE2>(bit);
    FirewallProfileAnswers read;
    read.Profile = bit;
    VARIANT_BOOL flag = VARIANT_FALSE;
    Check(policy->get_FirewallEnabled(profile, &flag));
    read.Enabled = IsTrue(flag);
    Check(policy->get_BlockAllInboundTraffic(profile, &flag));
    read.BlocksEverything = IsTrue(flag);
    NET_FW_ACTION inbound = NET_FW_ACTION_ALLOW;
    Check(policy->get_DefaultInboundAction(profile, &inbound));
    read.BlocksByDefault = inbound == NET_FW_ACTION_BLOCK;
    answers.Profiles.push_back(read);
  }
  answers.Rules = InboundRules(policy);
  return answers;
}

}  // namespace

std::optional<FirewallAnswers> ReadFirewallPolicy() {
  try {
    ComRef<INetFwPolicy2> policy;
    Check(CoCreateInstance(__uuidof(NetFwPolicy2), nullptr, CLSCTX_INPROC_SERVER,
                           __uuidof(INetFwPolicy2), policy.OutAsVoid()));
    return Answers(policy.Get());
  } catch (const Unanswered&) {
    return std::nullopt;
  }
}

}  // namespace varo
