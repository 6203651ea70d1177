// Windows: Windows Firewall's policy through INetFwPolicy2, which any user may read, on the calling
// thread, which is never the main one: the firewall's service may take its time. Where COM or the
// firewall's class or any of its answers is missing (Wine has no firewall), nothing is given: a
// policy read in part could claim a block that is not there.
#include "platform/FirewallPolicy.h"

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "platform/win32/ComRef.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"

// After windows.h, on which they build.
#include <netfw.h>
#include <netlistmgr.h>
#include <ocidl.h>
#include <oleauto.h>

namespace varo {

namespace {

using win32::ComRef;

// An answer of the firewall that could not be had.
struct Unanswered {};

// The calling thread in COM's multithreaded apartment for as long as it lives, unless it is in an
// apartment already (then it stays in that one).
class ThreadApartment {
 public:
  ThreadApartment() {
    // S_FALSE (already in this apartment) must be balanced like S_OK; RPC_E_CHANGED_MODE (in a
    // single-threaded one) must not, and COM works there as it is.
    const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    entered_ = SUCCEEDED(result);
    usable_ = entered_ || result == RPC_E_CHANGED_MODE;
  }
  ~ThreadApartment() {
    if (entered_) CoUninitialize();
  }
  ThreadApartment(const ThreadApartment&) = delete;
  ThreadApartment& operator=(const ThreadApartment&) = delete;

  bool Usable() const { return usable_; }

 private:
  bool entered_ = false;
  bool usable_ = false;
};

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

// Whether a rule's interfaces, a list of names in a variant, name any: none means every interface.
bool NamesInterfaces(INetFwRule* rule) {
  VARIANT interfaces;
  VariantInit(&interfaces);
  const HRESULT result = rule->get_Interfaces(&interfaces);
  bool some = false;
  if (SUCCEEDED(result)) {
    if ((interfaces.vt & VT_ARRAY) != 0 && interfaces.parray != nullptr) {
      some = interfaces.parray->cDims > 0 && interfaces.parray->rgsabound[0].cElements > 0;
    } else {
      // Anything but an empty answer or an array is not documented: taken as a limit, so the
      // rule is never counted as surely letting requests in.
      some = interfaces.vt != VT_EMPTY && interfaces.vt != VT_NULL;
    }
  }
  VariantClear(&interfaces);
  Check(result);
  return some;
}

// Reads what only INetFwRule3 tells (Windows 8 and later): the app package and users a rule is
// limited to and whether it asks for IPsec; a system without it has no such limits.
void ReadAppContainerTerms(INetFwRule* rule, FirewallRule& read) {
  ComRef<INetFwRule3> third;
  if (FAILED(rule->QueryInterface(__uuidof(INetFwRule3), third.OutAsVoid()))) return;
  read.AppPackage =
      win32::Narrow(TextOf([&third](BSTR* text) { return third->get_LocalAppPackageId(text); }));
  read.Users = win32::Narrow(
      TextOf([&third](BSTR* text) { return third->get_LocalUserAuthorizedList(text); }));
  LONG secure = 0;
  Check(third->get_SecureFlags(&secure));
  // Remote users or computers can only be told apart by IPsec's authentication, which clients of
  // this server do not use.
  const std::wstring remoteUsers =
      TextOf([&third](BSTR* text) { return third->get_RemoteUserAuthorizedList(text); });
  const std::wstring remoteMachines =
      TextOf([&third](BSTR* text) { return third->get_RemoteMachineAuthorizedList(text); });
  read.SecureOnly = secure != 0 || !remoteUsers.empty() || !remoteMachines.empty();
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
  read.RemotePorts =
      win32::Narrow(TextOf([rule](BSTR* text) { return rule->get_RemotePorts(text); }));
  read.LocalAddresses =
      win32::Narrow(TextOf([rule](BSTR* text) { return rule->get_LocalAddresses(text); }));
  read.InterfaceTypes =
      win32::Narrow(TextOf([rule](BSTR* text) { return rule->get_InterfaceTypes(text); }));
  read.SomeInterfaces = NamesInterfaces(rule);
  ReadAppContainerTerms(rule, read);
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
  // Whether a rule added now would take effect on the current profile: not where group policy
  // controls it (local rules are then not merged, and FirewallEnabled and the rules read here are
  // the local ones, not what is in force), nor where all incoming traffic is refused.
  NET_FW_MODIFY_STATE state = NET_FW_MODIFY_STATE_OK;
  Check(policy->get_LocalPolicyModifyState(&state));
  answers.Local = state == NET_FW_MODIFY_STATE_GP_OVERRIDE ? LocalRules::OverriddenByGroupPolicy
                  : state == NET_FW_MODIFY_STATE_INBOUND_BLOCKED ? LocalRules::InboundBlocked
                                                                 : LocalRules::Apply;
  answers.Rules = InboundRules(policy);
  return answers;
}

// Passes news of the network list on to the watch's owner until told to stop: a call already on
// its way on one of COM's threads may still come after Unadvise has returned.
class Relay {
 public:
  explicit Relay(std::function<void()> changed) : changed_(std::move(changed)) {}
  void Tell() {
    std::lock_guard lock(mutex_);
    if (changed_) changed_();
  }
  void Stop() {
    std::lock_guard lock(mutex_);
    changed_ = nullptr;
  }

 private:
  std::mutex mutex_;
  std::function<void()> changed_;
};

// The network list's events: networks connected or gone, and a network's kind changed.
class NetworkEvents final : public INetworkEvents {
 public:
  explicit NetworkEvents(std::shared_ptr<Relay> relay) : relay_(std::move(relay)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(INetworkEvents)) {
      *out = static_cast<INetworkEvents*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE NetworkAdded(GUID) override { return Told(); }
  HRESULT STDMETHODCALLTYPE NetworkDeleted(GUID) override { return Told(); }
  HRESULT STDMETHODCALLTYPE NetworkConnectivityChanged(GUID, NLM_CONNECTIVITY) override {
    return Told();
  }
  HRESULT STDMETHODCALLTYPE NetworkPropertyChanged(GUID,
                                                   NLM_NETWORK_PROPERTY_CHANGE flags) override {
    // A name, description or icon changes no profile.
    constexpr int profileFlags =
        NLM_NETWORK_PROPERTY_CHANGE_CONNECTION | NLM_NETWORK_PROPERTY_CHANGE_CATEGORY_VALUE;
    return (flags & profileFlags) != 0 ? Told() : S_OK;
  }

 private:
  HRESULT Told() {
    relay_->Tell();
    return S_OK;
  }

  std::atomic<ULONG> references_{1};
  std::shared_ptr<Relay> relay_;
};

}  // namespace

std::optional<FirewallAnswers> ReadFirewallPolicy() {
  const ThreadApartment apartment;
  if (!apartment.Usable()) return std::nullopt;
  try {
    // Wine makes the class but answers E_NOTIMPL from CurrentProfileTypes on: what Answers reads
    // (rules, INetFwRule3, LocalPolicyModifyState) is exercised on real Windows only, and the
    // verdict on it through the tests' answers.
    ComRef<INetFwPolicy2> policy;
    Check(CoCreateInstance(__uuidof(NetFwPolicy2), nullptr, CLSCTX_INPROC_SERVER,
                           __uuidof(INetFwPolicy2), policy.OutAsVoid()));
    return Answers(policy.Get());
  } catch (const Unanswered&) {
    return std::nullopt;
  }
}

struct NetworkProfileWatch::Native {
  // Declared first, so COM is left last, after every interface below is released.
  ThreadApartment Apartment;
  std::shared_ptr<Relay> Told;
  ComRef<IConnectionPoint> Point;
  DWORD Cookie = 0;
};

NetworkProfileWatch::NetworkProfileWatch(std::function<void()> changed)
    : native_(std::make_unique<Native>()) {
  native_->Told = std::make_shared<Relay>(std::move(changed));
  if (!native_->Apartment.Usable()) return;
  // The network list's events (INetworkEvents through its connection point) tell of a network's
  // category (public, private, domain) set or changed, which is the firewall's profile. Wine
  // takes the advice but keeps no categories to change; the minute's reading still follows.
  ComRef<INetworkListManager> networks;
  ComRef<IConnectionPointContainer> points;
  if (FAILED(CoCreateInstance(__uuidof(NetworkListManager), nullptr, CLSCTX_ALL,
                              __uuidof(INetworkListManager), networks.OutAsVoid())) ||
      FAILED(networks->QueryInterface(__uuidof(IConnectionPointContainer), points.OutAsVoid())) ||
      FAILED(points->FindConnectionPoint(__uuidof(INetworkEvents), native_->Point.Out()))) {
    return;
  }
  ComRef<NetworkEvents> events(new NetworkEvents(native_->Told));
  // Advise takes a reference of its own; this one goes with events.
  if (FAILED(native_->Point->Advise(events.Get(), &native_->Cookie))) native_->Cookie = 0;
}

NetworkProfileWatch::~NetworkProfileWatch() {
  // A call already under way on one of COM's threads may still arrive after Unadvise: the relay
  // drops it.
  if (native_->Cookie != 0) native_->Point->Unadvise(native_->Cookie);
  native_->Told->Stop();
}

std::unique_ptr<NetworkProfileWatch> WatchNetworkProfiles(std::function<void()> changed) {
  return std::make_unique<NetworkProfileWatch>(std::move(changed));
}

}  // namespace varo
