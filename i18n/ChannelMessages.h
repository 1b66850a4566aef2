#pragma once

#include <array>

#include "i18n/Messages.h"

namespace qubra {

// The messages of the serial data channel's commands (terminal bridge and loopback test), kept
// apart from the designed program's catalogue; keys are formed the same way.
inline constexpr TMessage msgZarizeniNeprijima{"Zařízenínepřijí", "Zařízení nepřijímá příchozí TCP spojení. Změňte v jeho nastavení connection_acceptance (Příchozí spojení) na Accept unconditional (Povoleno)."};
inline constexpr TMessage msgZarizeniJeVUDP{"ZařízeníjevUD", "Zařízení je v UDP datagram módu a TCP spojení nepřijímá. Vypněte v jeho nastavení UDP datagram mód (Directed_UDP, disconnect_config)."};
inline constexpr TMessage msgSpojenoSDatovym{"Spojenosdatový", "Spojeno s datovým kanálem "};
inline constexpr TMessage msgSpojeniPreruseno{"Spojenísdatový", "Spojení s datovým kanálem přerušeno: "};
inline constexpr TMessage msgZarizeniUkoncilo{"zařízeníspojení", "zařízení spojení ukončilo"};
inline constexpr TMessage msgNelzeSeSpojit{"Nelzesespojit", "Nelze se spojit s datovým kanálem "};
inline constexpr TMessage msgDalsiPokusZa{"dalšípokusza", "; další pokus za "};
inline constexpr TMessage msgOdeslanoPodrzenych{"Odeslánopodržen", "Odesláno podržených bajtů: "};
inline constexpr TMessage msgZahozenoBehem{"Zahozenobajtůb", "Zahozeno bajtů během výpadku: "};
inline constexpr TMessage msgVyrovnavaciPamet{"Vyrovnávacípamě", "Vyrovnávací paměť pro výpadek je plná ("};
inline constexpr TMessage msgBajtuDalsiZapsane{"bajtůdalšíz", " bajtů); další zapsané bajty se zahazují a počítají."};
inline constexpr TMessage msgNastaveniLinkyTerm{"Nastavenílinky", "Nastavení linky terminálu (rychlost, parita, ...) se do zařízení nepřenáší; linka zařízení se nastavuje v jeho záznamu nastavení (qubra-cli write --set line_speed=...)."};
inline constexpr TMessage msgOdkazNaTerminal{"Odkaznaterminá", "Odkaz na terminál: "};
inline constexpr TMessage msgBajtyDoZarizeni{"Bajtydozařízen", "Bajty do zařízení / ze zařízení / podržené / zahozené: "};
inline constexpr TMessage msgOdeslanoBajtu{"Odeslánobajtů", "Odesláno bajtů: "};
inline constexpr TMessage msgPrijatoBajtu{"Přijatobajtů", "Přijato bajtů: "};
inline constexpr TMessage msgChybneBajty{"Chybnébajty", "Chybné bajty: "};
inline constexpr TMessage msgPrvniChybnyBajt{"Prvníchybnýbaj", "První chybný bajt na pozici: "};
inline constexpr TMessage msgChybejiBajtyOd{"Chybějíbajtyod", "Chybějí bajty od pozice: "};
inline constexpr TMessage msgOdezvaKratkeho{"Odezvakrátkého", "Odezva krátkého bloku (ms): "};
inline constexpr TMessage msgPropustnost{"Propustnostbaj", "Propustnost (bajtů/s): "};
inline constexpr TMessage msgLinkaDovoluje{"Linkadovoluje", "Linka dovoluje (bajtů/s): "};
inline constexpr TMessage msgVsechnyBajtySe{"Všechnybajtyse", "Všechny bajty se vrátily v pořadí."};
inline constexpr TMessage msgTestSmyckyNeprosel{"Testsmyčkynepr", "Test smyčky neprošel."};
inline constexpr TMessage msgNevratilSeZadny{"Nevrátilsežádn", "Nevrátil se žádný bajt: je na sériovém portu zapojena smyčka (TX na RX)?"};
inline constexpr std::array ChannelMessages{
    msgZarizeniNeprijima, msgZarizeniJeVUDP, msgSpojenoSDatovym, msgSpojeniPreruseno,
    msgZarizeniUkoncilo, msgNelzeSeSpojit, msgDalsiPokusZa, msgOdeslanoPodrzenych,
    msgZahozenoBehem, msgVyrovnavaciPamet, msgBajtuDalsiZapsane, msgNastaveniLinkyTerm,
    msgOdkazNaTerminal, msgBajtyDoZarizeni, msgOdeslanoBajtu, msgPrijatoBajtu,
    msgChybneBajty, msgPrvniChybnyBajt, msgChybejiBajtyOd, msgOdezvaKratkeho,
    msgPropustnost, msgLinkaDovoluje, msgVsechnyBajtySe, msgTestSmyckyNeprosel,
    msgNevratilSeZadny,
};

} // namespace qubra
