#pragma once

#include <array>
#include <string_view>

namespace qubra {

// A message shown to the user: its key in the `const` section of a language file and the
// built-in Czech text used when the file has no translation for it.
struct TMessage {
    std::string_view Key;
    std::string_view Text;

    // The same key beside another built-in text, so that one translation serves both places.
    constexpr TMessage WithText(std::string_view text) const { return {Key, text}; }
};

// Every message key, written once. The key is the first 16 characters of the built-in text
// with everything but letters removed, numbered where two messages would share it.
inline constexpr TMessage msgAdresaKterouC{"Adresakterouc", "Adresa, kterou chcete přiřadit ("};
inline constexpr TMessage msgAMohloByDoj{"amohlobydoj", ") a mohlo by dojít ke konfliktu."};
inline constexpr TMessage msgChceteJiPresto{"Chcetejipřesto", "Chcete ji přesto přiřadit?"};
inline constexpr TMessage msgChcetePokracova{"Chcetepokračova", "Chcete pokračovat?"};
inline constexpr TMessage msgChcetePrestoPo{"Chcetepřestopo", "Chcete přesto pokračovat?"};
inline constexpr TMessage msgChcetePrestoPo1{"Chcetepřestopo1", "Chcete přesto pokračovat?"};
inline constexpr TMessage msgChcetePrestoZk{"Chcetepřestozk", "Chcete přesto zkusit přiřadit IP adresu?"};
inline constexpr TMessage msgChceteTotoZari{"Chcetetotozaří", "Chcete toto zařízení nastavit?"};
inline constexpr TMessage msgChybnaIPAdresa{"ChybnáIPadresa", "Chybná IP adresa."};
inline constexpr TMessage msgChybnaIPAdresa0{"ChybnáIPadresa0", "Chybná IP adresa."};
inline constexpr TMessage msgChybnaMACAdres{"ChybnáMACadres", "Chybná MAC adresa."};
inline constexpr TMessage msgHledaniZarizeni{"Hledánízařízení", "Hledání zařízení "};
inline constexpr TMessage msgHodnotyNejsouZ{"Hodnotynejsouz", "Hodnoty nejsou zadány zprávně. Zkontrolujte je prosím"};
inline constexpr TMessage msgIPAdresa{"IPadresa", "IP adresa "};
inline constexpr TMessage msgIPAdresa0{"IPadresa0", "IP adresa "};
inline constexpr TMessage msgIPAdresaBylaN{"IPadresabylan", "IP adresa byla nastavena na "};
inline constexpr TMessage msgIPAdresaKtero{"IPadresaktero", "IP adresa, kterou chcete přiřadit ("};
inline constexpr TMessage msgIPNebylaNastav{"IPnebylanastav", "IP nebyla nastavena!"};
inline constexpr TMessage msgJeMozneZeJeh{"jemožnéžejeh", " je možné že jeho síťové nastavení nesouhlasí s místní sítí a nekomunikuje správně."};
inline constexpr TMessage msgJizJePrirazen{"jižjepřiřazen", " již je přiřazena jinému zařízení v síti ("};
inline constexpr TMessage msgJizJePrirazen0{"jižjepřiřazen0", " již je přiřazena jinému zařízení v síti ("};
inline constexpr TMessage msgKomunikace{"Komunikace", "Komunikace..."};
inline constexpr TMessage msgKomunikaceSeZa{"Komunikaceseza", "Komunikace se zařízením selhala!"};
inline constexpr TMessage msgKomunikaceSeZa0{"Komunikaceseza0", "Komunikace se zařízením selhala!"};
inline constexpr TMessage msgKontrolaIPAdre{"KontrolaIPadre", "Kontrola IP adresy "};
inline constexpr TMessage msgNastaveniIPAdr{"NastaveníIPadr", "Nastavení IP adresy na "};
inline constexpr TMessage msgNastaveniMuzeZ{"Nastavenímůžez", "Nastavení může způsobit přepsání původního nastavení."};
inline constexpr TMessage msgNastaveniZarize{"Nastavenízaříze", "Nastavení zařízení se nezdařilo."};
inline constexpr TMessage msgNastaveniZarize0{"Nastavenízaříze0", "Nastavení zařízení se nezdařilo kompletně"};
inline constexpr TMessage msgNebyloNalezen{"nebylonalezen", ") nebylo nalezeno!"};
inline constexpr TMessage msgNeprislusiSte{"nepříslušíste", ") nepřísluší stejné podsíti jako tento počítač."};
inline constexpr TMessage msgPokudJsteSiJi{"Pokudjstesiji", "Pokud jste si jisti, že je zařízení správně připojeno k síti a souhlasí MAC adresa, "};
inline constexpr TMessage msgPotePokusOpaku{"Potépokusopaku", "Poté pokus opakujte."};
inline constexpr TMessage msgPravdepodobnouP{"Pravděpodobnoup", "Pravděpodobnou příčinou je nekompatibilní síťové nastavení zařízení (IP: "};
inline constexpr TMessage msgPredavamInforma{"Předáváminforma", "Předávám informace ..."};
inline constexpr TMessage msgPredavamPozadav{"Předávámpožadav", "Předávám požadavek na data..."};
inline constexpr TMessage msgPredavamPozadav0{"Předávámpožadav0", "Předávám požadavek na záznam č."};
inline constexpr TMessage msgPredavamPozadav1{"Předávámpožadav1", "Předávám požadavek na záznam č."};
inline constexpr TMessage msgPrijimamData{"Přijímámdata", "Přijímám data..."};
inline constexpr TMessage msgSitoveNastaveni{"Síťovénastavení", "Síťové nastavení není v pořádku."};
inline constexpr TMessage msgTextObsahujeZn{"Textobsahujezn", "Text obsahuje znak, který nelze do zařízení uložit, v poli "};
inline constexpr TMessage msgTotoNeniPlatna{"Totoneníplatná", "Toto není platná IP adresa"};
inline constexpr TMessage msgTotoNeniPlatna0{"Totoneníplatná0", "Toto není platná MAC adresa"};
inline constexpr TMessage msgUkladamZaznamC{"Ukládámzáznamč", "Ukládám záznam č."};
inline constexpr TMessage msgUkladamZaznamC0{"Ukládámzáznamč0", "Ukládám záznam č."};
inline constexpr TMessage msgUkladaniDat{"Ukládánídat", "Ukládání dat ..."};
inline constexpr TMessage msgUpozorneni{"Upozornění", "Upozornění"};
inline constexpr TMessage msgUpozorneni0{"Upozornění0", "Upozornění"};
inline constexpr TMessage msgVarovani{"Varování", "Varování"};
inline constexpr TMessage msgVarovani0{"Varování0", "Varování"};
inline constexpr TMessage msgVarovani2{"Varování2", "Varování"};
inline constexpr TMessage msgVIPAdreseNelz{"VIPadresenelz", "V IP adrese nelze použít hodnotu 255"};
inline constexpr TMessage msgVyhledaniZarize{"Vyhledánízaříze", "Vyhledání zařízení"};
inline constexpr TMessage msgVyhledaniZarize1{"Vyhledánízaříze1", "Vyhledání zařízení"};
inline constexpr TMessage msgVyhledavamZariz{"Vyhledávámzaříz", "Vyhledávám zařízení "};
inline constexpr TMessage msgVsechnyZaznamy{"Všechnyzáznamy", "Všechny záznamy uloženy ("};
inline constexpr TMessage msgZ{"z", " z "};
inline constexpr TMessage msgZ0{"z0", " z "};
inline constexpr TMessage msgZ1{"z1", " z "};
inline constexpr TMessage msgZ2{"z2", " z "};
inline constexpr TMessage msgZ3{"z3", " z "};
inline constexpr TMessage msgZ4{"z4", " z "};
inline constexpr TMessage msgZadejteIPAdres{"ZadejteIPadres", "Zadejte IP adresu zařízení:"};
inline constexpr TMessage msgZadejteMACAdre{"ZadejteMACadre", "Zadejte MAC adresu zařízení:"};
inline constexpr TMessage msgZarizeni{"Zařízení", "Zařízení ("};
inline constexpr TMessage msgZarizeniByloDe{"Zařízeníbylode", "Zařízení bylo detekováno, ale nelze s ním komunikovat kvůli jeho síťovému nastavení. Pokud se pokusíte nastavit jeho IP adresu, můžou být ztracena některá současná nastavení zařízení."};
inline constexpr TMessage msgZarizeniNebylo{"Zařízenínebylo", "Zařízení nebylo nalezeno"};
inline constexpr TMessage msgZarizeniNebylo0{"Zařízenínebylo0", "Zařízení nebylo nalezeno!"};
inline constexpr TMessage msgZarizeniNebylo1{"Zařízenínebylo1", "Zařízení nebylo nalezeno"};
inline constexpr TMessage msgZarizeniNebylo2{"Zařízenínebylo2", "Zařízení nebylo nalezeno"};
inline constexpr TMessage msgZarizeniNebylo3{"Zařízenínebylo3", "Zařízení nebylo nalezeno"};
inline constexpr TMessage msgZarizeniNebylo4{"Zařízenínebylo4", "Zařízení nebylo nalezeno."};
inline constexpr TMessage msgZkontrolujtePro{"Zkontrolujtepro", "Zkontrolujte prosím."};
inline constexpr TMessage msgZkontrolujteZd{"Zkontrolujtezd", "Zkontrolujte, zda je správně zadána MAC adresa a zařízení je správně zapojeno."};
inline constexpr TMessage msgZaznamUlozen{"Záznamuložen", "Záznam uložen."};
inline constexpr TMessage msgZaznamuPrija{"záznamůpřija", " záznam(ů) přijato."};
inline constexpr TMessage msgZaznamuUlozeno{"záznamůuloženo", " záznamů uloženo."};
inline constexpr TMessage msgCekamNaZarizen{"Čekámnazařízen", "Čekám na zařízení..."};
inline constexpr TMessage msgAdresu{"Adresu", "Adresu "};
inline constexpr TMessage msgPouzivaKromeZ{"používákroměz", " používá kromě zařízení "};
inline constexpr TMessage msgTakeZarizeni{"takézařízení", " také zařízení "};
inline constexpr TMessage msgZpravyUrceneTo{"Zprávyurčenéto",
                                           "Zprávy určené tomuto zařízení by mohly dojít jinému. Nejprve mu "
                                           "přidělte vlastní IP adresu (Nastavit IP)."};
inline constexpr TMessage msgDocasnyZaznamA{"DočasnýzáznamA",
                                            "Dočasný záznam ARP by přesměroval provoz této stanice. Zvolte "
                                            "jinou adresu."};
inline constexpr TMessage msgDocasnyZaznamA0{"DočasnýzáznamA0",
                                            "Dočasný záznam ARP se nepodařilo odstranit: "};
inline constexpr TMessage msgZapsanoAleZar{"zapsánoalezař", "zapsáno, ale zařízení vrací "};
inline constexpr TMessage msgMisto{"místo", " místo "};

// The device list of the workstation's networks.
inline constexpr TMessage msgMACAdresa{"MACadresa", "MAC adresa"};
inline constexpr TMessage msgIPAdresa1{"IPadresa1", "IP adresa"};
inline constexpr TMessage msgRozhrani{"Rozhraní", "Rozhraní"};
inline constexpr TMessage msgStav{"Stav", "Stav"};
inline constexpr TMessage msgVPodsitiRozhra{"Vpodsítirozhra", "V podsíti rozhraní"};
inline constexpr TMessage msgMimoPodsitNej{"Mimopodsíťnej", "Mimo podsíť: nejdříve Nastavit IP"};
inline constexpr TMessage msgStejnaAdresaJa{"Stejnáadresaja", "Stejná adresa jako jiné zařízení: nejdříve Nastavit IP"};
inline constexpr TMessage msgVyhledavamZariz0{"Vyhledávámzaříz0", "Vyhledávám zařízení v LAN... zbývá "};
inline constexpr TMessage msgNalezenaZarizen{"Nalezenázařízen", "Nalezená zařízení: "};
inline constexpr TMessage msgVyhledavaniZast{"Vyhledávánízast", "Vyhledávání zastaveno. "};
inline constexpr TMessage msgOtevrit{"Otevřít", "Otevřít"};
inline constexpr TMessage msgNastavitIP{"NastavitIP", "Nastavit IP..."};
inline constexpr TMessage msgKopirovatMACAd{"KopírovatMACad", "Kopírovat MAC adresu"};

// Keys that stand beside more than one built-in text keep one entry for all of them.
inline constexpr TMessage msgZarizeniNebyloExclamation = msgZarizeniNebylo.WithText("Zařízení nebylo nalezeno!");
inline constexpr TMessage msgZarizeniNebyloFullStop = msgZarizeniNebylo.WithText("Zařízení nebylo nalezeno.");
inline constexpr TMessage msgZarizeniNebylo0FullStop = msgZarizeniNebylo0.WithText("Zařízení nebylo nalezeno.");
inline constexpr TMessage msgTotoNeniPlatnaMAC = msgTotoNeniPlatna.WithText("Toto není platná MAC adresa.");

// No message: the language the file's texts are written in, as a locale name; the texts of the
// window system (the buttons of its boxes) follow it.
inline constexpr TMessage msgLocale{"Locale", "cs"};

// Each key once, for whoever needs to walk them all (language file checks).
inline constexpr std::array AllMessages{
    msgAdresaKterouC, msgAMohloByDoj, msgChceteJiPresto, msgChcetePokracova, msgChcetePrestoPo,
    msgChcetePrestoPo1, msgChcetePrestoZk, msgChceteTotoZari, msgChybnaIPAdresa, msgChybnaIPAdresa0,
    msgChybnaMACAdres, msgHledaniZarizeni, msgHodnotyNejsouZ, msgIPAdresa, msgIPAdresa0,
    msgIPAdresaBylaN, msgIPAdresaKtero, msgIPNebylaNastav, msgJeMozneZeJeh, msgJizJePrirazen,
    msgJizJePrirazen0, msgKomunikace, msgKomunikaceSeZa, msgKomunikaceSeZa0, msgKontrolaIPAdre,
    msgNastaveniIPAdr, msgNastaveniMuzeZ, msgNastaveniZarize, msgNastaveniZarize0, msgNebyloNalezen,
    msgNeprislusiSte, msgPokudJsteSiJi, msgPotePokusOpaku, msgPravdepodobnouP, msgPredavamInforma,
    msgPredavamPozadav, msgPredavamPozadav0, msgPredavamPozadav1, msgPrijimamData, msgSitoveNastaveni,
    msgTextObsahujeZn, msgTotoNeniPlatna, msgTotoNeniPlatna0, msgUkladamZaznamC, msgUkladamZaznamC0, msgUkladaniDat,
    msgUpozorneni, msgUpozorneni0, msgVarovani, msgVarovani0, msgVarovani2,
    msgVIPAdreseNelz, msgVyhledaniZarize, msgVyhledaniZarize1, msgVyhledavamZariz, msgVsechnyZaznamy,
    msgZ, msgZ0, msgZ1, msgZ2, msgZ3,
    msgZ4, msgZadejteIPAdres, msgZadejteMACAdre, msgZarizeni, msgZarizeniByloDe,
    msgZarizeniNebylo, msgZarizeniNebylo0, msgZarizeniNebylo1, msgZarizeniNebylo2, msgZarizeniNebylo3,
    msgZarizeniNebylo4, msgZkontrolujtePro, msgZkontrolujteZd, msgZaznamUlozen, msgZaznamuPrija,
    msgZaznamuUlozeno, msgCekamNaZarizen, msgAdresu, msgPouzivaKromeZ, msgTakeZarizeni,
    msgZpravyUrceneTo, msgDocasnyZaznamA, msgDocasnyZaznamA0, msgZapsanoAleZar, msgMisto,
};

// The keys of the device list, beside the designed ones above.
inline constexpr std::array DeviceListMessages{
    msgMACAdresa, msgIPAdresa1, msgRozhrani, msgStav, msgVPodsitiRozhra, msgMimoPodsitNej,
    msgStejnaAdresaJa, msgVyhledavamZariz0, msgNalezenaZarizen, msgVyhledavaniZast, msgOtevrit,
    msgNastavitIP, msgKopirovatMACAd,
};

} // namespace qubra
