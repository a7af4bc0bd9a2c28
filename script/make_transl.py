#!/usr/bin/env python3
"""Writes src/app/transl.dt, the translation catalogue the program ships.

Layout of the file: line 1 holds the number of languages N; then groups of N lines, one group per
row: the languages' own names, their codes, then one English text and its translations per group.
The English texts are exactly what the program passes to Translate(): menu captions keep their
doubled ampersands, formats keep their %s / %d, leading and trailing blanks are significant.

Run from anywhere: python3 script/make_transl.py
"""

import os
import re
import sys

LANGS = ["ar", "cn", "cs", "de", "el", "es", "fr", "hu", "it", "jp", "kr", "nl", "pl", "pt", "tr"]

NAMES = {
    "en": "English",
    "ar": "العربية",
    "cn": "中文",
    "cs": "Čeština",
    "de": "Deutsch",
    "el": "Ελληνικά",
    "es": "Español",
    "fr": "Français",
    "hu": "Magyar",
    "it": "Italiano",
    "jp": "日本語",
    "kr": "한국어",
    "nl": "Nederlands",
    "pl": "Polski",
    "pt": "Português",
    "tr": "Türkçe",
}

ENTRIES = []


def E(en, **tr):
    ENTRIES.append((en, tr))


# ---- Locker engine ---------------------------------------------------------------------------
E("Source path does not exist.",
  ar="مسار المصدر غير موجود.",
  cn="源路径不存在。",
  cs="Zdrojová cesta neexistuje.",
  de="Der Quellpfad existiert nicht.",
  el="Η διαδρομή προέλευσης δεν υπάρχει.",
  es="La ruta de origen no existe.",
  fr="Le chemin source n'existe pas.",
  hu="A forrás elérési útja nem létezik.",
  it="Il percorso di origine non esiste.",
  jp="元のパスが存在しません。",
  kr="원본 경로가 존재하지 않습니다.",
  nl="Het bronpad bestaat niet.",
  pl="Ścieżka źródłowa nie istnieje.",
  pt="O caminho de origem não existe.",
  tr="Kaynak yol mevcut değil.")
E("Locker password cannot be empty.",
  ar="لا يمكن أن تكون كلمة مرور الخزنة فارغة.",
  cn="保险箱密码不能为空。",
  cs="Heslo trezoru nesmí být prázdné.",
  de="Das Tresorpasswort darf nicht leer sein.",
  el="Ο κωδικός πρόσβασης της θυρίδας δεν μπορεί να είναι κενός.",
  es="La contraseña del contenedor no puede estar vacía.",
  fr="Le mot de passe du coffre ne peut pas être vide.",
  hu="A széf jelszava nem lehet üres.",
  it="La password del contenitore non può essere vuota.",
  jp="ロッカーのパスワードを空にすることはできません。",
  kr="보관함 암호는 비워 둘 수 없습니다.",
  nl="Het wachtwoord van de kluis mag niet leeg zijn.",
  pl="Hasło sejfu nie może być puste.",
  pt="A senha do cofre não pode estar vazia.",
  tr="Kasa parolası boş olamaz.")
E("Invalid source path.",
  ar="مسار المصدر غير صالح.",
  cn="源路径无效。",
  cs="Neplatná zdrojová cesta.",
  de="Ungültiger Quellpfad.",
  el="Μη έγκυρη διαδρομή προέλευσης.",
  es="Ruta de origen no válida.",
  fr="Chemin source non valide.",
  hu="Érvénytelen forrás elérési út.",
  it="Percorso di origine non valido.",
  jp="元のパスが無効です。",
  kr="원본 경로가 올바르지 않습니다.",
  nl="Ongeldig bronpad.",
  pl="Nieprawidłowa ścieżka źródłowa.",
  pt="Caminho de origem inválido.",
  tr="Geçersiz kaynak yolu.")
E("Locker created successfully.",
  ar="تم إنشاء الخزنة بنجاح.",
  cn="保险箱创建成功。",
  cs="Trezor byl úspěšně vytvořen.",
  de="Der Tresor wurde erfolgreich erstellt.",
  el="Η θυρίδα δημιουργήθηκε με επιτυχία.",
  es="El contenedor se creó correctamente.",
  fr="Le coffre a été créé avec succès.",
  hu="A széf sikeresen létrejött.",
  it="Contenitore creato correttamente.",
  jp="ロッカーを作成しました。",
  kr="보관함을 만들었습니다.",
  nl="De kluis is aangemaakt.",
  pl="Sejf został utworzony.",
  pt="Cofre criado com sucesso.",
  tr="Kasa başarıyla oluşturuldu.")
E("Locker file does not exist.",
  ar="ملف الخزنة غير موجود.",
  cn="保险箱文件不存在。",
  cs="Soubor trezoru neexistuje.",
  de="Die Tresordatei existiert nicht.",
  el="Το αρχείο της θυρίδας δεν υπάρχει.",
  es="El archivo del contenedor no existe.",
  fr="Le fichier du coffre n'existe pas.",
  hu="A széffájl nem létezik.",
  it="Il file del contenitore non esiste.",
  jp="ロッカー ファイルが存在しません。",
  kr="보관함 파일이 존재하지 않습니다.",
  nl="Het kluisbestand bestaat niet.",
  pl="Plik sejfu nie istnieje.",
  pt="O arquivo do cofre não existe.",
  tr="Kasa dosyası mevcut değil.")
E("Invalid locker file.",
  ar="ملف خزنة غير صالح.",
  cn="无效的保险箱文件。",
  cs="Neplatný soubor trezoru.",
  de="Ungültige Tresordatei.",
  el="Μη έγκυρο αρχείο θυρίδας.",
  es="Archivo de contenedor no válido.",
  fr="Fichier de coffre non valide.",
  hu="Érvénytelen széffájl.",
  it="File del contenitore non valido.",
  jp="ロッカー ファイルが無効です。",
  kr="올바르지 않은 보관함 파일입니다.",
  nl="Ongeldig kluisbestand.",
  pl="Nieprawidłowy plik sejfu.",
  pt="Arquivo de cofre inválido.",
  tr="Geçersiz kasa dosyası.")
E("Unsupported locker version.",
  ar="إصدار خزنة غير مدعوم.",
  cn="不支持的保险箱版本。",
  cs="Nepodporovaná verze trezoru.",
  de="Nicht unterstützte Tresorversion.",
  el="Μη υποστηριζόμενη έκδοση θυρίδας.",
  es="Versión de contenedor no compatible.",
  fr="Version de coffre non prise en charge.",
  hu="Nem támogatott széfverzió.",
  it="Versione del contenitore non supportata.",
  jp="サポートされていないロッカーのバージョンです。",
  kr="지원되지 않는 보관함 버전입니다.",
  nl="Niet-ondersteunde kluisversie.",
  pl="Nieobsługiwana wersja sejfu.",
  pt="Versão de cofre não suportada.",
  tr="Desteklenmeyen kasa sürümü.")
E("Invalid locker payload length.",
  ar="طول محتوى الخزنة غير صالح.",
  cn="保险箱数据长度无效。",
  cs="Neplatná délka obsahu trezoru.",
  de="Ungültige Nutzdatenlänge im Tresor.",
  el="Μη έγκυρο μήκος περιεχομένου θυρίδας.",
  es="Longitud de datos del contenedor no válida.",
  fr="Longueur des données du coffre non valide.",
  hu="Érvénytelen széfadat-hossz.",
  it="Lunghezza dei dati del contenitore non valida.",
  jp="ロッカーのデータ長が無効です。",
  kr="보관함 데이터 길이가 올바르지 않습니다.",
  nl="Ongeldige gegevenslengte van de kluis.",
  pl="Nieprawidłowa długość danych sejfu.",
  pt="Comprimento de dados do cofre inválido.",
  tr="Geçersiz kasa veri uzunluğu.")
E("Invalid password or recovery code.",
  ar="كلمة المرور أو رمز الاسترداد غير صالح.",
  cn="密码或恢复代码无效。",
  cs="Neplatné heslo nebo kód pro obnovení.",
  de="Ungültiges Passwort oder ungültiger Wiederherstellungscode.",
  el="Μη έγκυρος κωδικός πρόσβασης ή κωδικός ανάκτησης.",
  es="Contraseña o código de recuperación no válidos.",
  fr="Mot de passe ou code de récupération non valide.",
  hu="Érvénytelen jelszó vagy helyreállítási kód.",
  it="Password o codice di ripristino non validi.",
  jp="パスワードまたは回復コードが無効です。",
  kr="암호 또는 복구 코드가 올바르지 않습니다.",
  nl="Ongeldig wachtwoord of ongeldige herstelcode.",
  pl="Nieprawidłowe hasło lub kod odzyskiwania.",
  pt="Senha ou código de recuperação inválido.",
  tr="Geçersiz parola veya kurtarma kodu.")
E("Invalid locker entry count.",
  ar="عدد عناصر الخزنة غير صالح.",
  cn="保险箱条目数无效。",
  cs="Neplatný počet položek trezoru.",
  de="Ungültige Anzahl von Einträgen im Tresor.",
  el="Μη έγκυρος αριθμός στοιχείων θυρίδας.",
  es="Número de entradas del contenedor no válido.",
  fr="Nombre d'entrées du coffre non valide.",
  hu="Érvénytelen széfbejegyzés-szám.",
  it="Numero di voci del contenitore non valido.",
  jp="ロッカーのエントリ数が無効です。",
  kr="보관함 항목 수가 올바르지 않습니다.",
  nl="Ongeldig aantal items in de kluis.",
  pl="Nieprawidłowa liczba elementów sejfu.",
  pt="Número de entradas do cofre inválido.",
  tr="Geçersiz kasa öğe sayısı.")
E("Invalid entry size in locker.",
  ar="حجم عنصر غير صالح في الخزنة.",
  cn="保险箱中的条目大小无效。",
  cs="Neplatná velikost položky v trezoru.",
  de="Ungültige Eintragsgröße im Tresor.",
  el="Μη έγκυρο μέγεθος στοιχείου στη θυρίδα.",
  es="Tamaño de entrada no válido en el contenedor.",
  fr="Taille d'entrée non valide dans le coffre.",
  hu="Érvénytelen bejegyzésméret a széfben.",
  it="Dimensione di una voce non valida nel contenitore.",
  jp="ロッカー内のエントリ サイズが無効です。",
  kr="보관함의 항목 크기가 올바르지 않습니다.",
  nl="Ongeldige itemgrootte in de kluis.",
  pl="Nieprawidłowy rozmiar elementu w sejfie.",
  pt="Tamanho de entrada inválido no cofre.",
  tr="Kasada geçersiz öğe boyutu.")
E("Locker extracted successfully.",
  ar="تم استخراج الخزنة بنجاح.",
  cn="保险箱提取成功。",
  cs="Trezor byl úspěšně rozbalen.",
  de="Der Tresor wurde erfolgreich entpackt.",
  el="Η θυρίδα εξήχθη με επιτυχία.",
  es="El contenedor se extrajo correctamente.",
  fr="Le coffre a été extrait avec succès.",
  hu="A széf kibontása sikerült.",
  it="Contenitore estratto correttamente.",
  jp="ロッカーを展開しました。",
  kr="보관함을 풀었습니다.",
  nl="De kluis is uitgepakt.",
  pl="Sejf został rozpakowany.",
  pt="Cofre extraído com sucesso.",
  tr="Kasa başarıyla açıldı.")
E("Locker verification failed (MAC mismatch).",
  ar="فشل التحقق من الخزنة (عدم تطابق MAC).",
  cn="保险箱验证失败（MAC 不匹配）。",
  cs="Ověření trezoru selhalo (nesouhlasí MAC).",
  de="Überprüfung des Tresors fehlgeschlagen (MAC stimmt nicht überein).",
  el="Η επαλήθευση της θυρίδας απέτυχε (αναντιστοιχία MAC).",
  es="Error al verificar el contenedor (el MAC no coincide).",
  fr="Échec de la vérification du coffre (MAC non concordant).",
  hu="A széf ellenőrzése sikertelen (eltérő MAC).",
  it="Verifica del contenitore non riuscita (MAC non corrispondente).",
  jp="ロッカーの検証に失敗しました (MAC 不一致)。",
  kr="보관함 확인에 실패했습니다(MAC 불일치).",
  nl="Verificatie van de kluis mislukt (MAC komt niet overeen).",
  pl="Weryfikacja sejfu nie powiodła się (niezgodny MAC).",
  pt="Falha na verificação do cofre (MAC não corresponde).",
  tr="Kasa doğrulaması başarısız (MAC uyuşmazlığı).")
E("Locker verification failed (empty root name).",
  ar="فشل التحقق من الخزنة (اسم الجذر فارغ).",
  cn="保险箱验证失败（根名称为空）。",
  cs="Ověření trezoru selhalo (prázdný název kořene).",
  de="Überprüfung des Tresors fehlgeschlagen (leerer Stammname).",
  el="Η επαλήθευση της θυρίδας απέτυχε (κενό όνομα ρίζας).",
  es="Error al verificar el contenedor (nombre raíz vacío).",
  fr="Échec de la vérification du coffre (nom racine vide).",
  hu="A széf ellenőrzése sikertelen (üres gyökérnév).",
  it="Verifica del contenitore non riuscita (nome radice vuoto).",
  jp="ロッカーの検証に失敗しました (ルート名が空)。",
  kr="보관함 확인에 실패했습니다(루트 이름이 비어 있음).",
  nl="Verificatie van de kluis mislukt (lege hoofdnaam).",
  pl="Weryfikacja sejfu nie powiodła się (pusta nazwa główna).",
  pt="Falha na verificação do cofre (nome raiz vazio).",
  tr="Kasa doğrulaması başarısız (kök adı boş).")
E("Locker verification failed (invalid entry count).",
  ar="فشل التحقق من الخزنة (عدد عناصر غير صالح).",
  cn="保险箱验证失败（条目数无效）。",
  cs="Ověření trezoru selhalo (neplatný počet položek).",
  de="Überprüfung des Tresors fehlgeschlagen (ungültige Anzahl von Einträgen).",
  el="Η επαλήθευση της θυρίδας απέτυχε (μη έγκυρος αριθμός στοιχείων).",
  es="Error al verificar el contenedor (número de entradas no válido).",
  fr="Échec de la vérification du coffre (nombre d'entrées non valide).",
  hu="A széf ellenőrzése sikertelen (érvénytelen bejegyzésszám).",
  it="Verifica del contenitore non riuscita (numero di voci non valido).",
  jp="ロッカーの検証に失敗しました (エントリ数が無効)。",
  kr="보관함 확인에 실패했습니다(항목 수가 올바르지 않음).",
  nl="Verificatie van de kluis mislukt (ongeldig aantal items).",
  pl="Weryfikacja sejfu nie powiodła się (nieprawidłowa liczba elementów).",
  pt="Falha na verificação do cofre (número de entradas inválido).",
  tr="Kasa doğrulaması başarısız (geçersiz öğe sayısı).")
E("Unsupported key derivation cost.",
  ar="تكلفة اشتقاق المفتاح غير مدعومة.",
  cn="不支持的密钥派生强度。",
  cs="Nepodporovaná náročnost odvození klíče.",
  de="Nicht unterstützter Aufwand der Schlüsselableitung.",
  el="Μη υποστηριζόμενο κόστος παραγωγής κλειδιού.",
  es="Coste de derivación de clave no compatible.",
  fr="Coût de dérivation de clé non pris en charge.",
  hu="Nem támogatott kulcsszármaztatási költség.",
  it="Costo di derivazione della chiave non supportato.",
  jp="サポートされていない鍵導出コストです。",
  kr="지원되지 않는 키 파생 비용입니다.",
  nl="Niet-ondersteunde kosten voor sleutelafleiding.",
  pl="Nieobsługiwany koszt wyprowadzania klucza.",
  pt="Custo de derivação de chave não suportado.",
  tr="Desteklenmeyen anahtar türetme maliyeti.")

# Refusals and file-system failures the engine reports with the item concerned on the next line.
E("The locker holds an invalid name for the item it contains.",
  ar="تحتوي الخزنة على اسم غير صالح للعنصر المخزّن فيها.",
  cn="保险箱中所含项目的名称无效。",
  cs="Trezor obsahuje neplatný název uložené položky.",
  de="Der Tresor enthält einen ungültigen Namen für das darin gespeicherte Element.",
  el="Η θυρίδα περιέχει μη έγκυρο όνομα για το στοιχείο που περιέχει.",
  es="El contenedor guarda un nombre no válido para el elemento que contiene.",
  fr="Le coffre contient un nom non valide pour l'élément qu'il renferme.",
  hu="A széf érvénytelen nevet tárol a benne lévő elemhez.",
  it="Il contenitore riporta un nome non valido per l'elemento che contiene.",
  jp="ロッカーに格納されている項目の名前が無効です。",
  kr="보관함에 들어 있는 항목의 이름이 올바르지 않습니다.",
  nl="De kluis bevat een ongeldige naam voor het item dat erin zit.",
  pl="Sejf zawiera nieprawidłową nazwę przechowywanego elementu.",
  pt="O cofre contém um nome inválido para o item que armazena.",
  tr="Kasa, içerdiği öğe için geçersiz bir ad barındırıyor.")
E("The destination folder could not be created.",
  ar="تعذر إنشاء المجلد الوجهة.", cn="无法创建目标文件夹。", cs="Cílovou složku se nepodařilo vytvořit.",
  de="Der Zielordner konnte nicht erstellt werden.", el="Δεν ήταν δυνατή η δημιουργία του φακέλου προορισμού.",
  es="No se pudo crear la carpeta de destino.", fr="Impossible de créer le dossier de destination.",
  hu="A célmappát nem sikerült létrehozni.", it="Impossibile creare la cartella di destinazione.",
  jp="保存先フォルダーを作成できませんでした。", kr="대상 폴더를 만들 수 없습니다.", nl="Kan de doelmap niet maken.",
  pl="Nie można utworzyć folderu docelowego.", pt="Não foi possível criar a pasta de destino.",
  tr="Hedef klasör oluşturulamadı.")
E("The destination folder cannot be empty.",
  ar="لا يمكن أن يكون المجلد الوجهة فارغًا.", cn="目标文件夹不能为空。", cs="Cílová složka nesmí být prázdná.",
  de="Der Zielordner darf nicht leer sein.", el="Ο φάκελος προορισμού δεν μπορεί να είναι κενός.",
  es="La carpeta de destino no puede estar vacía.", fr="Le dossier de destination ne peut pas être vide.",
  hu="A célmappa nem lehet üres.", it="La cartella di destinazione non può essere vuota.",
  jp="保存先フォルダーを空にすることはできません。", kr="대상 폴더는 비워 둘 수 없습니다.",
  nl="De doelmap mag niet leeg zijn.", pl="Folder docelowy nie może być pusty.",
  pt="A pasta de destino não pode estar vazia.", tr="Hedef klasör boş olamaz.")
E("The locker holds a path that would lead outside the destination folder.",
  ar="تحتوي الخزنة على مسار يؤدي إلى خارج المجلد الوجهة.",
  cn="保险箱中包含会指向目标文件夹之外的路径。",
  cs="Trezor obsahuje cestu, která by vedla mimo cílovou složku.",
  de="Der Tresor enthält einen Pfad, der aus dem Zielordner hinausführen würde.",
  el="Η θυρίδα περιέχει διαδρομή που θα οδηγούσε έξω από τον φάκελο προορισμού.",
  es="El contenedor guarda una ruta que llevaría fuera de la carpeta de destino.",
  fr="Le coffre contient un chemin qui mènerait hors du dossier de destination.",
  hu="A széf olyan elérési utat tartalmaz, amely a célmappán kívülre vezetne.",
  it="Il contenitore riporta un percorso che porterebbe fuori dalla cartella di destinazione.",
  jp="ロッカーに、保存先フォルダーの外を指すパスが含まれています。",
  kr="보관함에 대상 폴더 밖으로 벗어나는 경로가 들어 있습니다.",
  nl="De kluis bevat een pad dat buiten de doelmap zou leiden.",
  pl="Sejf zawiera ścieżkę, która prowadziłaby poza folder docelowy.",
  pt="O cofre contém um caminho que levaria para fora da pasta de destino.",
  tr="Kasa, hedef klasörün dışına çıkacak bir yol içeriyor.")
E("An existing item that is not a folder is in the way of a folder from the locker.",
  ar="يعترض عنصر موجود ليس مجلدًا طريق مجلد من الخزنة.",
  cn="已存在一个非文件夹的项目，妨碍了保险箱中文件夹的还原。",
  cs="Složce z trezoru překáží existující položka, která není složkou.",
  de="Ein vorhandenes Element, das kein Ordner ist, steht einem Ordner aus dem Tresor im Weg.",
  el="Ένα υπάρχον στοιχείο που δεν είναι φάκελος εμποδίζει έναν φάκελο της θυρίδας.",
  es="Un elemento existente que no es una carpeta impide restaurar una carpeta del contenedor.",
  fr="Un élément existant qui n'est pas un dossier empêche de restaurer un dossier du coffre.",
  hu="Egy meglévő, nem mappa típusú elem útban van a széfből származó mappa előtt.",
  it="Un elemento esistente che non è una cartella impedisce il ripristino di una cartella del contenitore.",
  jp="フォルダーではない既存の項目が、ロッカー内のフォルダーの復元を妨げています。",
  kr="폴더가 아닌 기존 항목이 보관함의 폴더를 복원하는 것을 막고 있습니다.",
  nl="Een bestaand item dat geen map is, staat een map uit de kluis in de weg.",
  pl="Istniejący element, który nie jest folderem, blokuje folder z sejfu.",
  pt="Um item existente que não é uma pasta impede a restauração de uma pasta do cofre.",
  tr="Klasör olmayan mevcut bir öğe, kasadaki bir klasörün önünü kesiyor.")
E("A folder could not be created.",
  ar="تعذر إنشاء مجلد.", cn="无法创建文件夹。", cs="Složku se nepodařilo vytvořit.",
  de="Ein Ordner konnte nicht erstellt werden.", el="Δεν ήταν δυνατή η δημιουργία ενός φακέλου.",
  es="No se pudo crear una carpeta.", fr="Impossible de créer un dossier.", hu="Egy mappát nem sikerült létrehozni.",
  it="Impossibile creare una cartella.", jp="フォルダーを作成できませんでした。", kr="폴더를 만들 수 없습니다.",
  nl="Kan een map niet maken.", pl="Nie można utworzyć folderu.", pt="Não foi possível criar uma pasta.",
  tr="Bir klasör oluşturulamadı.")
E("An existing folder is in the way of a file from the locker.",
  ar="يعترض مجلد موجود طريق ملف من الخزنة.",
  cn="已存在的文件夹妨碍了保险箱中文件的还原。",
  cs="Souboru z trezoru překáží existující složka.",
  de="Ein vorhandener Ordner steht einer Datei aus dem Tresor im Weg.",
  el="Ένας υπάρχων φάκελος εμποδίζει ένα αρχείο της θυρίδας.",
  es="Una carpeta existente impide restaurar un archivo del contenedor.",
  fr="Un dossier existant empêche de restaurer un fichier du coffre.",
  hu="Egy meglévő mappa útban van a széfből származó fájl előtt.",
  it="Una cartella esistente impedisce il ripristino di un file del contenitore.",
  jp="既存のフォルダーが、ロッカー内のファイルの復元を妨げています。",
  kr="기존 폴더가 보관함의 파일을 복원하는 것을 막고 있습니다.",
  nl="Een bestaande map staat een bestand uit de kluis in de weg.",
  pl="Istniejący folder blokuje plik z sejfu.",
  pt="Uma pasta existente impede a restauração de um arquivo do cofre.",
  tr="Mevcut bir klasör, kasadaki bir dosyanın önünü kesiyor.")
E("The locker cannot be extracted over itself.",
  ar="لا يمكن استخراج الخزنة فوق نفسها.", cn="不能将保险箱提取到其自身所在位置。",
  cs="Trezor nelze rozbalit přes sebe sama.", de="Der Tresor kann nicht über sich selbst entpackt werden.",
  el="Η θυρίδα δεν μπορεί να εξαχθεί πάνω στον εαυτό της.", es="El contenedor no se puede extraer sobre sí mismo.",
  fr="Le coffre ne peut pas être extrait par-dessus lui-même.", hu="A széf nem bontható ki önmagára.",
  it="Il contenitore non può essere estratto sopra se stesso.", jp="ロッカーをそれ自体の上に展開することはできません。",
  kr="보관함을 자기 자신 위에 풀 수 없습니다.", nl="De kluis kan niet over zichzelf heen worden uitgepakt.",
  pl="Nie można rozpakować sejfu na miejsce jego samego.", pt="O cofre não pode ser extraído sobre si mesmo.",
  tr="Kasa kendi üzerine açılamaz.")
E("The locker holds a name or path that is too long or too deeply nested.",
  ar="تحتوي الخزنة على اسم أو مسار طويل جدًا أو متداخل بعمق كبير.", cn="保险箱中包含过长或嵌套过深的名称或路径。",
  cs="Trezor obsahuje název nebo cestu, která je příliš dlouhá nebo příliš hluboko vnořená.",
  de="Der Tresor enthält einen Namen oder Pfad, der zu lang oder zu tief verschachtelt ist.",
  el="Η θυρίδα περιέχει όνομα ή διαδρομή που είναι πολύ μεγάλη ή πολύ βαθιά ένθετη.",
  es="El contenedor incluye un nombre o una ruta demasiado largos o anidados a demasiada profundidad.",
  fr="Le coffre contient un nom ou un chemin trop long ou trop profondément imbriqué.",
  hu="A széf túl hosszú vagy túl mélyen egymásba ágyazott nevet vagy elérési utat tartalmaz.",
  it="Il contenitore include un nome o un percorso troppo lungo o annidato troppo in profondità.",
  jp="ロッカーに長すぎるか階層が深すぎる名前またはパスが含まれています。",
  kr="보관함에 너무 길거나 너무 깊이 중첩된 이름 또는 경로가 있습니다.",
  nl="De kluis bevat een naam of pad dat te lang is of te diep genest.",
  pl="Sejf zawiera nazwę lub ścieżkę, która jest za długa lub zbyt głęboko zagnieżdżona.",
  pt="O cofre contém um nome ou caminho longo demais ou aninhado profundamente demais.",
  tr="Kasa çok uzun veya çok derin iç içe geçmiş bir ad ya da yol içeriyor.")
E("A locker of a single file must hold exactly that file, under its own name.",
  ar="يجب أن تحتوي خزنة الملف الواحد على ذلك الملف فقط وباسمه.", cn="单个文件的保险箱必须只包含该文件，并使用其自身的名称。",
  cs="Trezor jednoho souboru musí obsahovat právě tento soubor pod jeho vlastním názvem.",
  de="Ein Tresor einer einzelnen Datei muss genau diese Datei unter ihrem eigenen Namen enthalten.",
  el="Η θυρίδα ενός μεμονωμένου αρχείου πρέπει να περιέχει ακριβώς αυτό το αρχείο, με το δικό του όνομα.",
  es="El contenedor de un solo archivo debe incluir exactamente ese archivo, con su propio nombre.",
  fr="Le coffre d'un fichier unique doit contenir exactement ce fichier, sous son propre nom.",
  hu="Egyetlen fájl széfjének pontosan azt a fájlt kell tartalmaznia, a saját nevén.",
  it="Il contenitore di un singolo file deve includere esattamente quel file, con il suo nome.",
  jp="単一ファイルのロッカーには、そのファイルだけが元の名前で含まれている必要があります。",
  kr="단일 파일 보관함에는 정확히 그 파일 하나가 원래 이름으로 들어 있어야 합니다.",
  nl="Een kluis van één bestand moet precies dat bestand bevatten, onder zijn eigen naam.",
  pl="Sejf pojedynczego pliku musi zawierać dokładnie ten plik pod jego własną nazwą.",
  pt="O cofre de um único arquivo deve conter exatamente esse arquivo, com seu próprio nome.",
  tr="Tek bir dosyanın kasası yalnızca o dosyayı, kendi adıyla içermelidir.")
E("An existing folder belongs to another user or others may write to it; it is not used for the extracted items.",
  ar="مجلد موجود يخص مستخدمًا آخر أو يمكن لآخرين الكتابة فيه؛ لن يُستخدم للعناصر المستخرجة.",
  cn="现有文件夹属于其他用户，或其他人可以写入；不会将其用于提取的项目。",
  cs="Existující složka patří jinému uživateli nebo do ní mohou zapisovat jiní; pro rozbalené položky se nepoužije.",
  de="Ein vorhandener Ordner gehört einem anderen Benutzer oder andere dürfen darin schreiben; er wird für die entpackten Elemente nicht verwendet.",
  el="Ένας υπάρχων φάκελος ανήκει σε άλλον χρήστη ή μπορούν να γράψουν σε αυτόν και άλλοι· δεν χρησιμοποιείται για τα στοιχεία που εξάγονται.",
  es="Una carpeta existente pertenece a otro usuario u otros pueden escribir en ella; no se usa para los elementos extraídos.",
  fr="Un dossier existant appartient à un autre utilisateur ou d'autres peuvent y écrire ; il n'est pas utilisé pour les éléments extraits.",
  hu="Egy meglévő mappa másik felhasználóé, vagy mások is írhatnak bele; a kibontott elemekhez nem használható.",
  it="Una cartella esistente appartiene a un altro utente o altri possono scriverci; non viene usata per gli elementi estratti.",
  jp="既存のフォルダーは別のユーザーのものか、他のユーザーが書き込めます。展開した項目には使用しません。",
  kr="기존 폴더가 다른 사용자 소유이거나 다른 사람이 쓸 수 있습니다. 추출한 항목에 사용하지 않습니다.",
  nl="Een bestaande map is van een andere gebruiker of anderen kunnen erin schrijven; deze wordt niet gebruikt voor de uitgepakte items.",
  pl="Istniejący folder należy do innego użytkownika lub inni mogą do niego zapisywać; nie zostanie użyty dla rozpakowanych elementów.",
  pt="Uma pasta existente pertence a outro usuário ou outros podem gravar nela; ela não é usada para os itens extraídos.",
  tr="Mevcut bir klasör başka bir kullanıcıya ait veya başkaları ona yazabiliyor; çıkarılan öğeler için kullanılmaz.")
E("This path is too long or too deeply nested to be stored in a locker.",
  ar="هذا المسار طويل جدًا أو متداخل بعمق كبير بحيث لا يمكن حفظه في خزنة.", cn="此路径过长或嵌套过深，无法存入保险箱。",
  cs="Tato cesta je příliš dlouhá nebo příliš hluboko vnořená, než aby ji šlo uložit do trezoru.",
  de="Dieser Pfad ist zu lang oder zu tief verschachtelt, um in einem Tresor gespeichert zu werden.",
  el="Αυτή η διαδρομή είναι πολύ μεγάλη ή πολύ βαθιά ένθετη για να αποθηκευτεί σε θυρίδα.",
  es="Esta ruta es demasiado larga o está anidada a demasiada profundidad para guardarla en un contenedor.",
  fr="Ce chemin est trop long ou trop profondément imbriqué pour être enregistré dans un coffre.",
  hu="Ez az elérési út túl hosszú vagy túl mélyen egymásba ágyazott ahhoz, hogy széfbe kerüljön.",
  it="Questo percorso è troppo lungo o annidato troppo in profondità per essere salvato in un contenitore.",
  jp="このパスは長すぎるか階層が深すぎるため、ロッカーに保存できません。",
  kr="이 경로는 너무 길거나 너무 깊이 중첩되어 보관함에 저장할 수 없습니다.",
  nl="Dit pad is te lang of te diep genest om in een kluis te worden opgeslagen.",
  pl="Ta ścieżka jest za długa lub zbyt głęboko zagnieżdżona, aby zapisać ją w sejfie.",
  pt="Este caminho é longo demais ou aninhado profundamente demais para ser guardado em um cofre.",
  tr="Bu yol bir kasada saklanamayacak kadar uzun veya derin iç içe geçmiş.")
E("An existing file could not be replaced.",
  ar="تعذر استبدال ملف موجود.", cn="无法替换现有文件。", cs="Existující soubor se nepodařilo nahradit.",
  de="Eine vorhandene Datei konnte nicht ersetzt werden.",
  el="Δεν ήταν δυνατή η αντικατάσταση ενός υπάρχοντος αρχείου.", es="No se pudo reemplazar un archivo existente.",
  fr="Impossible de remplacer un fichier existant.", hu="Egy meglévő fájlt nem sikerült lecserélni.",
  it="Impossibile sostituire un file esistente.", jp="既存のファイルを置き換えられませんでした。",
  kr="기존 파일을 바꿀 수 없습니다.", nl="Kan een bestaand bestand niet vervangen.",
  pl="Nie można zastąpić istniejącego pliku.", pt="Não foi possível substituir um arquivo existente.",
  tr="Mevcut bir dosya değiştirilemedi.")
E("A symbolic link cannot be put in a locker.",
  ar="لا يمكن وضع رابط رمزي في خزنة.", cn="不能将符号链接放入保险箱。", cs="Symbolický odkaz nelze vložit do trezoru.",
  de="Eine symbolische Verknüpfung kann nicht in einen Tresor aufgenommen werden.",
  el="Ένας συμβολικός σύνδεσμος δεν μπορεί να τοποθετηθεί σε θυρίδα.",
  es="No se puede guardar un enlace simbólico en un contenedor.",
  fr="Un lien symbolique ne peut pas être placé dans un coffre.", hu="Szimbolikus hivatkozás nem tehető széfbe.",
  it="Un collegamento simbolico non può essere inserito in un contenitore.",
  jp="シンボリック リンクはロッカーに入れられません。", kr="심볼릭 링크는 보관함에 넣을 수 없습니다.",
  nl="Een symbolische koppeling kan niet in een kluis worden opgenomen.",
  pl="Dowiązania symbolicznego nie można umieścić w sejfie.", pt="Um link simbólico não pode ser colocado em um cofre.",
  tr="Sembolik bağlantı kasaya konamaz.")
E("A socket, pipe or device cannot be put in a locker.",
  ar="لا يمكن وضع مقبس أو أنبوب أو جهاز في خزنة.", cn="不能将套接字、管道或设备放入保险箱。",
  cs="Soket, rouru ani zařízení nelze vložit do trezoru.",
  de="Ein Socket, eine Pipe oder ein Gerät kann nicht in einen Tresor aufgenommen werden.",
  el="Μια υποδοχή, ένας σωλήνας ή μια συσκευή δεν μπορεί να τοποθετηθεί σε θυρίδα.",
  es="No se puede guardar un socket, una canalización o un dispositivo en un contenedor.",
  fr="Un socket, un tube ou un périphérique ne peut pas être placé dans un coffre.",
  hu="Socket, csővezeték vagy eszköz nem tehető széfbe.",
  it="Un socket, una pipe o un dispositivo non può essere inserito in un contenitore.",
  jp="ソケット、パイプ、デバイスはロッカーに入れられません。", kr="소켓, 파이프 또는 장치는 보관함에 넣을 수 없습니다.",
  nl="Een socket, pipe of apparaat kan niet in een kluis worden opgenomen.",
  pl="Gniazda, potoku ani urządzenia nie można umieścić w sejfie.",
  pt="Um soquete, pipe ou dispositivo não pode ser colocado em um cofre.", tr="Soket, kanal veya aygıt kasaya konamaz.")
E("This name cannot be stored in a locker: it holds a backslash or begins with a drive letter.",
  ar="لا يمكن تخزين هذا الاسم في خزنة: فهو يحتوي على شرطة مائلة عكسية أو يبدأ بحرف محرك أقراص.",
  cn="此名称无法存入保险箱：它包含反斜杠或以驱动器号开头。",
  cs="Tento název nelze uložit do trezoru: obsahuje zpětné lomítko nebo začíná písmenem jednotky.",
  de="Dieser Name kann nicht in einem Tresor gespeichert werden: Er enthält einen umgekehrten Schrägstrich "
     "oder beginnt mit einem Laufwerksbuchstaben.",
  el="Αυτό το όνομα δεν μπορεί να αποθηκευτεί σε θυρίδα: περιέχει ανάστροφη κάθετο ή αρχίζει με γράμμα "
     "μονάδας δίσκου.",
  es="Este nombre no se puede guardar en un contenedor: contiene una barra invertida o empieza por una letra "
     "de unidad.",
  fr="Ce nom ne peut pas être enregistré dans un coffre : il contient une barre oblique inverse ou commence "
     "par une lettre de lecteur.",
  hu="Ez a név nem tárolható széfben: fordított perjelet tartalmaz, vagy meghajtóbetűjellel kezdődik.",
  it="Questo nome non può essere memorizzato in un contenitore: contiene una barra rovesciata o inizia con "
     "una lettera di unità.",
  jp="この名前はロッカーに保存できません: バックスラッシュを含むか、ドライブ文字で始まっています。",
  kr="이 이름은 보관함에 저장할 수 없습니다: 백슬래시가 들어 있거나 드라이브 문자로 시작합니다.",
  nl="Deze naam kan niet in een kluis worden opgeslagen: hij bevat een backslash of begint met een "
     "stationsletter.",
  pl="Tej nazwy nie można zapisać w sejfie: zawiera ukośnik odwrotny lub zaczyna się od litery dysku.",
  pt="Este nome não pode ser armazenado em um cofre: contém uma barra invertida ou começa com uma letra de "
     "unidade.",
  tr="Bu ad kasada saklanamaz: ters eğik çizgi içeriyor veya bir sürücü harfiyle başlıyor.")
E("A file changed while it was being put in the locker.",
  ar="تغيّر ملف أثناء وضعه في الخزنة.", cn="文件在放入保险箱的过程中发生了变化。",
  cs="Soubor se změnil během vkládání do trezoru.",
  de="Eine Datei hat sich geändert, während sie in den Tresor aufgenommen wurde.",
  el="Ένα αρχείο άλλαξε ενώ τοποθετούνταν στη θυρίδα.", es="Un archivo cambió mientras se guardaba en el contenedor.",
  fr="Un fichier a été modifié pendant son placement dans le coffre.",
  hu="Egy fájl megváltozott, miközben a széfbe került.",
  it="Un file è stato modificato mentre veniva inserito nel contenitore.",
  jp="ロッカーに入れている間にファイルが変更されました。", kr="보관함에 넣는 동안 파일이 변경되었습니다.",
  nl="Een bestand is gewijzigd terwijl het in de kluis werd opgenomen.",
  pl="Plik zmienił się podczas umieszczania go w sejfie.",
  pt="Um arquivo foi alterado enquanto era colocado no cofre.", tr="Bir dosya kasaya konurken değişti.")
E("The locker file cannot be the item being packed or lie inside it.",
  ar="لا يمكن أن يكون ملف الخزنة هو العنصر الجاري حزمه أو أن يقع داخله.",
  cn="保险箱文件不能是正在打包的项目，也不能位于其中。",
  cs="Soubor trezoru nemůže být balenou položkou ani ležet uvnitř ní.",
  de="Die Tresordatei darf weder das zu verpackende Element sein noch darin liegen.",
  el="Το αρχείο της θυρίδας δεν μπορεί να είναι το στοιχείο που συσκευάζεται ούτε να βρίσκεται μέσα σε αυτό.",
  es="El archivo del contenedor no puede ser el elemento que se empaqueta ni estar dentro de él.",
  fr="Le fichier du coffre ne peut être ni l'élément en cours d'empaquetage ni se trouver à l'intérieur.",
  hu="A széffájl nem lehet maga a becsomagolt elem, és nem lehet azon belül.",
  it="Il file del contenitore non può essere l'elemento da impacchettare né trovarsi al suo interno.",
  jp="ロッカー ファイルを、格納する項目そのものやその内部に置くことはできません。",
  kr="보관함 파일은 넣으려는 항목 자체이거나 그 안에 있을 수 없습니다.",
  nl="Het kluisbestand mag niet het item zijn dat wordt ingepakt en mag er ook niet in liggen.",
  pl="Plik sejfu nie może być pakowanym elementem ani znajdować się w jego wnętrzu.",
  pt="O arquivo do cofre não pode ser o item que está sendo empacotado nem ficar dentro dele.",
  tr="Kasa dosyası, paketlenen öğenin kendisi olamaz veya onun içinde bulunamaz.")
E("The incomplete locker file could not be deleted.",
  ar="تعذر حذف ملف الخزنة غير المكتمل.", cn="无法删除不完整的保险箱文件。",
  cs="Neúplný soubor trezoru se nepodařilo odstranit.", de="Die unvollständige Tresordatei konnte nicht gelöscht werden.",
  el="Δεν ήταν δυνατή η διαγραφή του ημιτελούς αρχείου θυρίδας.",
  es="No se pudo eliminar el archivo incompleto del contenedor.",
  fr="Impossible de supprimer le fichier de coffre incomplet.", hu="A befejezetlen széffájlt nem sikerült törölni.",
  it="Impossibile eliminare il file del contenitore incompleto.", jp="不完全なロッカー ファイルを削除できませんでした。",
  kr="완성되지 않은 보관함 파일을 삭제할 수 없습니다.", nl="Kan het onvolledige kluisbestand niet verwijderen.",
  pl="Nie można usunąć niekompletnego pliku sejfu.", pt="Não foi possível excluir o arquivo de cofre incompleto.",
  tr="Tamamlanmamış kasa dosyası silinemedi.")

# ---- Settings store --------------------------------------------------------------------------
E("Invalid string length in settings.",
  ar="طول نص غير صالح في الإعدادات.",
  cn="设置中的字符串长度无效。",
  cs="Neplatná délka řetězce v nastavení.",
  de="Ungültige Zeichenkettenlänge in den Einstellungen.",
  el="Μη έγκυρο μήκος συμβολοσειράς στις ρυθμίσεις.",
  es="Longitud de cadena no válida en la configuración.",
  fr="Longueur de chaîne non valide dans les paramètres.",
  hu="Érvénytelen karakterlánc-hossz a beállításokban.",
  it="Lunghezza di stringa non valida nelle impostazioni.",
  jp="設定内の文字列の長さが無効です。",
  kr="설정의 문자열 길이가 올바르지 않습니다.",
  nl="Ongeldige tekenreekslengte in de instellingen.",
  pl="Nieprawidłowa długość ciągu w ustawieniach.",
  pt="Comprimento de cadeia inválido nas configurações.",
  tr="Ayarlarda geçersiz dize uzunluğu.")
E("Invalid byte count in settings.",
  ar="عدد بايتات غير صالح في الإعدادات.",
  cn="设置中的字节数无效。",
  cs="Neplatný počet bajtů v nastavení.",
  de="Ungültige Byteanzahl in den Einstellungen.",
  el="Μη έγκυρος αριθμός byte στις ρυθμίσεις.",
  es="Número de bytes no válido en la configuración.",
  fr="Nombre d'octets non valide dans les paramètres.",
  hu="Érvénytelen bájtszám a beállításokban.",
  it="Numero di byte non valido nelle impostazioni.",
  jp="設定内のバイト数が無効です。",
  kr="설정의 바이트 수가 올바르지 않습니다.",
  nl="Ongeldig aantal bytes in de instellingen.",
  pl="Nieprawidłowa liczba bajtów w ustawieniach.",
  pt="Número de bytes inválido nas configurações.",
  tr="Ayarlarda geçersiz bayt sayısı.")
E("Unsupported settings version.",
  ar="إصدار إعدادات غير مدعوم.",
  cn="不支持的设置版本。",
  cs="Nepodporovaná verze nastavení.",
  de="Nicht unterstützte Version der Einstellungen.",
  el="Μη υποστηριζόμενη έκδοση ρυθμίσεων.",
  es="Versión de configuración no compatible.",
  fr="Version des paramètres non prise en charge.",
  hu="Nem támogatott beállításverzió.",
  it="Versione delle impostazioni non supportata.",
  jp="サポートされていない設定のバージョンです。",
  kr="지원되지 않는 설정 버전입니다.",
  nl="Niet-ondersteunde versie van de instellingen.",
  pl="Nieobsługiwana wersja ustawień.",
  pt="Versão de configurações não suportada.",
  tr="Desteklenmeyen ayar sürümü.")
E("Settings integrity check failed.",
  ar="فشل التحقق من سلامة الإعدادات.",
  cn="设置完整性检查失败。",
  cs="Kontrola integrity nastavení selhala.",
  de="Integritätsprüfung der Einstellungen fehlgeschlagen.",
  el="Ο έλεγχος ακεραιότητας των ρυθμίσεων απέτυχε.",
  es="Error en la comprobación de integridad de la configuración.",
  fr="Échec du contrôle d'intégrité des paramètres.",
  hu="A beállítások sértetlenség-ellenőrzése sikertelen.",
  it="Controllo di integrità delle impostazioni non riuscito.",
  jp="設定の整合性チェックに失敗しました。",
  kr="설정 무결성 검사에 실패했습니다.",
  nl="Integriteitscontrole van de instellingen mislukt.",
  pl="Sprawdzanie integralności ustawień nie powiodło się.",
  pt="Falha na verificação de integridade das configurações.",
  tr="Ayar bütünlüğü denetimi başarısız.")

# ---- Path list -------------------------------------------------------------------------------
E("Path",
  ar="المسار", cn="路径", cs="Cesta", de="Pfad", el="Διαδρομή", es="Ruta", fr="Chemin",
  hu="Elérési út", it="Percorso", jp="パス", kr="경로", nl="Pad", pl="Ścieżka", pt="Caminho",
  tr="Yol")
E("Status",
  ar="الحالة", cn="状态", cs="Stav", de="Status", el="Κατάσταση", es="Estado", fr="État",
  hu="Állapot", it="Stato", jp="状態", kr="상태", nl="Status", pl="Stan", pt="Status",
  tr="Durum")
E("Visible",
  ar="ظاهر", cn="可见", cs="Viditelné", de="Sichtbar", el="Ορατό", es="Visible", fr="Visible",
  hu="Látható", it="Visibile", jp="表示中", kr="표시됨", nl="Zichtbaar", pl="Widoczny",
  pt="Visível", tr="Görünür")
E("Encrypted & Hidden",
  ar="مشفر & مخفي", cn="已加密 & 已隐藏", cs="Zašifrováno & skryto", de="Verschlüsselt & verborgen",
  el="Κρυπτογραφημένο & κρυφό", es="Cifrado & oculto", fr="Chiffré & masqué",
  hu="Titkosítva & rejtve", it="Crittografato & nascosto", jp="暗号化 & 非表示", kr="암호화 & 숨김",
  nl="Versleuteld & verborgen", pl="Zaszyfrowany & ukryty", pt="Criptografado & oculto",
  tr="Şifreli & gizli")
E("Use system attribute (strong hide)",
  ar="استخدام سمة النظام (إخفاء قوي)",
  cn="使用系统属性（强隐藏）",
  cs="Použít systémový atribut (silné skrytí)",
  de="Systemattribut verwenden (starkes Verbergen)",
  el="Χρήση χαρακτηριστικού συστήματος (ισχυρή απόκρυψη)",
  es="Usar atributo de sistema (ocultación reforzada)",
  fr="Utiliser l'attribut système (masquage renforcé)",
  hu="Rendszerattribútum használata (erős elrejtés)",
  it="Usa attributo di sistema (occultamento avanzato)",
  jp="システム属性を使用 (強力な非表示)",
  kr="시스템 특성 사용(강력한 숨김)",
  nl="Systeemkenmerk gebruiken (sterk verbergen)",
  pl="Użyj atrybutu systemowego (silne ukrycie)",
  pt="Usar atributo de sistema (ocultação reforçada)",
  tr="Sistem özniteliğini kullan (güçlü gizleme)")
E("Add Folder...",
  ar="إضافة مجلد...", cn="添加文件夹...", cs="Přidat složku...", de="Ordner hinzufügen...",
  el="Προσθήκη φακέλου...", es="Agregar carpeta...", fr="Ajouter un dossier...",
  hu="Mappa hozzáadása...", it="Aggiungi cartella...", jp="フォルダーの追加...", kr="폴더 추가...",
  nl="Map toevoegen...", pl="Dodaj folder...", pt="Adicionar pasta...", tr="Klasör Ekle...")
E("Add File...",
  ar="إضافة ملف...", cn="添加文件...", cs="Přidat soubor...", de="Datei hinzufügen...",
  el="Προσθήκη αρχείου...", es="Agregar archivo...", fr="Ajouter un fichier...",
  hu="Fájl hozzáadása...", it="Aggiungi file...", jp="ファイルの追加...", kr="파일 추가...",
  nl="Bestand toevoegen...", pl="Dodaj plik...", pt="Adicionar arquivo...", tr="Dosya Ekle...")
E("Remove Selected From List",
  ar="إزالة المحدد من القائمة",
  cn="从列表中移除所选项",
  cs="Odebrat vybrané ze seznamu",
  de="Ausgewählte aus der Liste entfernen",
  el="Κατάργηση επιλεγμένων από τη λίστα",
  es="Quitar seleccionados de la lista",
  fr="Retirer la sélection de la liste",
  hu="Kijelöltek eltávolítása a listából",
  it="Rimuovi selezionati dall'elenco",
  jp="選択項目を一覧から削除",
  kr="선택 항목을 목록에서 제거",
  nl="Selectie uit de lijst verwijderen",
  pl="Usuń zaznaczone z listy",
  pt="Remover selecionados da lista",
  tr="Seçilenleri Listeden Kaldır")
E("Path does not exist:",
  ar="المسار غير موجود:", cn="路径不存在:", cs="Cesta neexistuje:", de="Der Pfad existiert nicht:",
  el="Η διαδρομή δεν υπάρχει:", es="La ruta no existe:", fr="Le chemin n'existe pas :",
  hu="Az elérési út nem létezik:", it="Il percorso non esiste:", jp="パスが存在しません:",
  kr="경로가 존재하지 않습니다:", nl="Het pad bestaat niet:", pl="Ścieżka nie istnieje:",
  pt="O caminho não existe:", tr="Yol mevcut değil:")
E("Select folder to add",
  ar="اختر المجلد المراد إضافته", cn="选择要添加的文件夹", cs="Vyberte složku k přidání",
  de="Hinzuzufügenden Ordner auswählen", el="Επιλέξτε φάκελο για προσθήκη",
  es="Seleccione la carpeta que desea agregar", fr="Sélectionnez le dossier à ajouter",
  hu="Válassza ki a hozzáadandó mappát", it="Seleziona la cartella da aggiungere",
  jp="追加するフォルダーを選択", kr="추가할 폴더 선택", nl="Selecteer de map die u wilt toevoegen",
  pl="Wybierz folder do dodania", pt="Selecione a pasta a adicionar", tr="Eklenecek klasörü seçin")
E("Select file to add",
  ar="اختر الملف المراد إضافته", cn="选择要添加的文件", cs="Vyberte soubor k přidání",
  de="Hinzuzufügende Datei auswählen", el="Επιλέξτε αρχείο για προσθήκη",
  es="Seleccione el archivo que desea agregar", fr="Sélectionnez le fichier à ajouter",
  hu="Válassza ki a hozzáadandó fájlt", it="Seleziona il file da aggiungere",
  jp="追加するファイルを選択", kr="추가할 파일 선택", nl="Selecteer het bestand dat u wilt toevoegen",
  pl="Wybierz plik do dodania", pt="Selecione o arquivo a adicionar", tr="Eklenecek dosyayı seçin")
E("Selected paths will be decrypted and unhidden, then items will be removed from the list. Continue?",
  ar="سيتم فك تشفير المسارات المحددة وإظهارها، ثم إزالة العناصر من القائمة. هل تريد المتابعة؟",
  cn="所选路径将被解密并取消隐藏，然后从列表中移除。是否继续？",
  cs="Vybrané cesty budou dešifrovány a zviditelněny a poté budou položky odebrány ze seznamu. Pokračovat?",
  de="Die ausgewählten Pfade werden entschlüsselt und wieder sichtbar gemacht, danach werden die Einträge "
     "aus der Liste entfernt. Fortfahren?",
  el="Οι επιλεγμένες διαδρομές θα αποκρυπτογραφηθούν και θα γίνουν ορατές και στη συνέχεια τα στοιχεία "
     "θα αφαιρεθούν από τη λίστα. Συνέχεια;",
  es="Las rutas seleccionadas se descifrarán y se harán visibles; después, los elementos se quitarán de "
     "la lista. ¿Desea continuar?",
  fr="Les chemins sélectionnés seront déchiffrés et rendus visibles, puis les éléments seront retirés de "
     "la liste. Continuer ?",
  hu="A kijelölt elérési utak visszafejtésre kerülnek és újra láthatók lesznek, majd az elemek kikerülnek "
     "a listából. Folytatja?",
  it="I percorsi selezionati verranno decrittografati e resi visibili, quindi gli elementi verranno rimossi "
     "dall'elenco. Continuare?",
  jp="選択したパスを復号して再表示した後、項目を一覧から削除します。続行しますか?",
  kr="선택한 경로를 복호화하고 숨김을 해제한 다음 목록에서 항목을 제거합니다. 계속하시겠습니까?",
  nl="De geselecteerde paden worden ontsleuteld en weer zichtbaar gemaakt, daarna worden de items uit de "
     "lijst verwijderd. Doorgaan?",
  pl="Zaznaczone ścieżki zostaną odszyfrowane i odkryte, a następnie elementy zostaną usunięte z listy. "
     "Kontynuować?",
  pt="Os caminhos selecionados serão descriptografados e reexibidos e, em seguida, os itens serão removidos "
     "da lista. Continuar?",
  tr="Seçilen yolların şifresi çözülecek ve görünür hale getirilecek, ardından öğeler listeden "
     "kaldırılacak. Devam edilsin mi?")
E("Error removing: ",
  ar="خطأ في الإزالة: ", cn="移除时出错: ", cs="Chyba při odebírání: ", de="Fehler beim Entfernen: ",
  el="Σφάλμα κατάργησης: ", es="Error al quitar: ", fr="Erreur lors du retrait : ",
  hu="Hiba az eltávolításkor: ", it="Errore durante la rimozione: ", jp="削除エラー: ",
  kr="제거 오류: ", nl="Fout bij verwijderen: ", pl="Błąd usuwania: ", pt="Erro ao remover: ",
  tr="Kaldırma hatası: ")
E("Path not found: %s",
  ar="المسار غير موجود: %s", cn="找不到路径: %s", cs="Cesta nebyla nalezena: %s",
  de="Pfad nicht gefunden: %s", el="Η διαδρομή δεν βρέθηκε: %s", es="No se encontró la ruta: %s",
  fr="Chemin introuvable : %s", hu="Az elérési út nem található: %s", it="Percorso non trovato: %s",
  jp="パスが見つかりません: %s", kr="경로를 찾을 수 없습니다: %s", nl="Pad niet gevonden: %s",
  pl="Nie znaleziono ścieżki: %s", pt="Caminho não encontrado: %s", tr="Yol bulunamadı: %s")

# ---- Hide and restore ------------------------------------------------------------------------
E("General password is not set.",
  ar="لم يتم تعيين كلمة مرور التطبيق.",
  cn="尚未设置应用程序密码。",
  cs="Heslo aplikace není nastaveno.",
  de="Das Anwendungspasswort ist nicht festgelegt.",
  el="Ο κωδικός πρόσβασης της εφαρμογής δεν έχει οριστεί.",
  es="No se ha establecido la contraseña de la aplicación.",
  fr="Le mot de passe de l'application n'est pas défini.",
  hu="Az alkalmazás jelszava nincs beállítva.",
  it="La password dell'applicazione non è impostata.",
  jp="アプリケーションのパスワードが設定されていません。",
  kr="응용 프로그램 암호가 설정되지 않았습니다.",
  nl="Het wachtwoord van de toepassing is niet ingesteld.",
  pl="Hasło aplikacji nie jest ustawione.",
  pt="A senha do aplicativo não está definida.",
  tr="Uygulama parolası ayarlanmadı.")
E("Locker already exists: ",
  ar="الخزنة موجودة بالفعل: ", cn="保险箱已存在: ", cs="Trezor již existuje: ",
  de="Der Tresor existiert bereits: ", el="Η θυρίδα υπάρχει ήδη: ", es="El contenedor ya existe: ",
  fr="Le coffre existe déjà : ", hu="A széf már létezik: ", it="Il contenitore esiste già: ",
  jp="ロッカーは既に存在します: ", kr="보관함이 이미 있습니다: ", nl="De kluis bestaat al: ",
  pl="Sejf już istnieje: ", pt="O cofre já existe: ", tr="Kasa zaten mevcut: ")
E("Path not found: ",
  ar="المسار غير موجود: ", cn="找不到路径: ", cs="Cesta nebyla nalezena: ", de="Pfad nicht gefunden: ",
  el="Η διαδρομή δεν βρέθηκε: ", es="No se encontró la ruta: ", fr="Chemin introuvable : ",
  hu="Az elérési út nem található: ", it="Percorso non trovato: ", jp="パスが見つかりません: ",
  kr="경로를 찾을 수 없습니다: ", nl="Pad niet gevonden: ", pl="Nie znaleziono ścieżki: ",
  pt="Caminho não encontrado: ", tr="Yol bulunamadı: ")
E("Operation cancelled by user.",
  ar="ألغى المستخدم العملية.",
  cn="用户已取消操作。",
  cs="Operace byla zrušena uživatelem.",
  de="Vorgang vom Benutzer abgebrochen.",
  el="Η λειτουργία ακυρώθηκε από τον χρήστη.",
  es="Operación cancelada por el usuario.",
  fr="Opération annulée par l'utilisateur.",
  hu="A műveletet a felhasználó megszakította.",
  it="Operazione annullata dall'utente.",
  jp="ユーザーによって操作が取り消されました。",
  kr="사용자가 작업을 취소했습니다.",
  nl="Bewerking geannuleerd door de gebruiker.",
  pl="Operacja anulowana przez użytkownika.",
  pt="Operação cancelada pelo usuário.",
  tr="İşlem kullanıcı tarafından iptal edildi.")
E("Locker verification failed: ",
  ar="فشل التحقق من الخزنة: ", cn="保险箱验证失败: ", cs="Ověření trezoru selhalo: ",
  de="Überprüfung des Tresors fehlgeschlagen: ", el="Η επαλήθευση της θυρίδας απέτυχε: ",
  es="Error al verificar el contenedor: ", fr="Échec de la vérification du coffre : ",
  hu="A széf ellenőrzése sikertelen: ", it="Verifica del contenitore non riuscita: ",
  jp="ロッカーの検証に失敗しました: ", kr="보관함 확인 실패: ", nl="Verificatie van de kluis mislukt: ",
  pl="Weryfikacja sejfu nie powiodła się: ", pt="Falha na verificação do cofre: ",
  tr="Kasa doğrulaması başarısız: ")
E("Failed to move original item to Recycle Bin.",
  ar="تعذر نقل العنصر الأصلي إلى سلة المحذوفات.",
  cn="无法将原始项目移到回收站。",
  cs="Původní položku se nepodařilo přesunout do koše.",
  de="Das ursprüngliche Element konnte nicht in den Papierkorb verschoben werden.",
  el="Δεν ήταν δυνατή η μετακίνηση του αρχικού στοιχείου στον Κάδο Ανακύκλωσης.",
  es="No se pudo mover el elemento original a la Papelera de reciclaje.",
  fr="Impossible de déplacer l'élément d'origine vers la Corbeille.",
  hu="Az eredeti elemet nem sikerült áthelyezni a Lomtárba.",
  it="Impossibile spostare l'elemento originale nel Cestino.",
  jp="元の項目をごみ箱に移動できませんでした。",
  kr="원래 항목을 휴지통으로 이동하지 못했습니다.",
  nl="Kan het oorspronkelijke item niet naar de Prullenbak verplaatsen.",
  pl="Nie można przenieść oryginalnego elementu do Kosza.",
  pt="Não foi possível mover o item original para a Lixeira.",
  tr="Özgün öğe Geri Dönüşüm Kutusu'na taşınamadı.")
E("Locker file not found: ",
  ar="لم يتم العثور على ملف الخزنة: ", cn="找不到保险箱文件: ", cs="Soubor trezoru nebyl nalezen: ",
  de="Tresordatei nicht gefunden: ", el="Το αρχείο της θυρίδας δεν βρέθηκε: ",
  es="No se encontró el archivo del contenedor: ", fr="Fichier du coffre introuvable : ",
  hu="A széffájl nem található: ", it="File del contenitore non trovato: ",
  jp="ロッカー ファイルが見つかりません: ", kr="보관함 파일을 찾을 수 없습니다: ",
  nl="Kluisbestand niet gevonden: ", pl="Nie znaleziono pliku sejfu: ",
  pt="Arquivo do cofre não encontrado: ", tr="Kasa dosyası bulunamadı: ")
E("Conflict detected for:",
  ar="تم اكتشاف تعارض في:", cn="检测到冲突:", cs="Byl zjištěn konflikt pro:", de="Konflikt erkannt für:",
  el="Εντοπίστηκε διένεξη για:", es="Se detectó un conflicto en:", fr="Conflit détecté pour :",
  hu="Ütközés észlelve:", it="Conflitto rilevato per:", jp="競合が検出されました:",
  kr="충돌이 감지되었습니다:", nl="Conflict gedetecteerd voor:", pl="Wykryto konflikt dla:",
  pt="Conflito detectado em:", tr="Çakışma algılandı:")
E("Both the real path and the locker file exist.",
  ar="المسار الحقيقي وملف الخزنة موجودان كلاهما.",
  cn="实际路径和保险箱文件同时存在。",
  cs="Existuje skutečná cesta i soubor trezoru.",
  de="Sowohl der echte Pfad als auch die Tresordatei existieren.",
  el="Υπάρχουν τόσο η πραγματική διαδρομή όσο και το αρχείο της θυρίδας.",
  es="Existen tanto la ruta real como el archivo del contenedor.",
  fr="Le chemin réel et le fichier du coffre existent tous les deux.",
  hu="A valódi elérési út és a széffájl is létezik.",
  it="Esistono sia il percorso reale sia il file del contenitore.",
  jp="実際のパスとロッカー ファイルの両方が存在します。",
  kr="실제 경로와 보관함 파일이 모두 존재합니다.",
  nl="Zowel het echte pad als het kluisbestand bestaan.",
  pl="Istnieje zarówno rzeczywista ścieżka, jak i plik sejfu.",
  pt="Tanto o caminho real quanto o arquivo do cofre existem.",
  tr="Hem gerçek yol hem de kasa dosyası mevcut.")
E("Yes - replace the existing path with the decrypted locker item.",
  ar="نعم - استبدال المسار الموجود بعنصر الخزنة بعد فك تشفيره.",
  cn="是 - 用解密后的保险箱项目替换现有路径。",
  cs="Ano - nahradit existující cestu dešifrovanou položkou z trezoru.",
  de="Ja - den vorhandenen Pfad durch das entschlüsselte Element aus dem Tresor ersetzen.",
  el="Ναι - αντικατάσταση της υπάρχουσας διαδρομής με το αποκρυπτογραφημένο στοιχείο της θυρίδας.",
  es="Sí - reemplazar la ruta existente por el elemento descifrado del contenedor.",
  fr="Oui - remplacer le chemin existant par l'élément déchiffré du coffre.",
  hu="Igen - a meglévő elérési út lecserélése a széfből visszafejtett elemre.",
  it="Sì - sostituisci il percorso esistente con l'elemento decrittografato del contenitore.",
  jp="はい - 既存のパスを、復号したロッカーの項目で置き換えます。",
  kr="예 - 기존 경로를 복호화된 보관함 항목으로 바꿉니다.",
  nl="Ja - het bestaande pad vervangen door het ontsleutelde item uit de kluis.",
  pl="Tak - zastąp istniejącą ścieżkę odszyfrowanym elementem z sejfu.",
  pt="Sim - substituir o caminho existente pelo item descriptografado do cofre.",
  tr="Evet - mevcut yolu kasadan şifresi çözülen öğeyle değiştir.")
E("No - remove the locker and keep the existing path.",
  ar="لا - إزالة الخزنة والإبقاء على المسار الموجود.",
  cn="否 - 删除保险箱并保留现有路径。",
  cs="Ne - odstranit trezor a ponechat existující cestu.",
  de="Nein - den Tresor entfernen und den vorhandenen Pfad behalten.",
  el="Όχι - κατάργηση της θυρίδας και διατήρηση της υπάρχουσας διαδρομής.",
  es="No - eliminar el contenedor y conservar la ruta existente.",
  fr="Non - supprimer le coffre et conserver le chemin existant.",
  hu="Nem - a széf törlése és a meglévő elérési út megtartása.",
  it="No - rimuovi il contenitore e mantieni il percorso esistente.",
  jp="いいえ - ロッカーを削除し、既存のパスを残します。",
  kr="아니요 - 보관함을 제거하고 기존 경로를 유지합니다.",
  nl="Nee - de kluis verwijderen en het bestaande pad behouden.",
  pl="Nie - usuń sejf i zachowaj istniejącą ścieżkę.",
  pt="Não - remover o cofre e manter o caminho existente.",
  tr="Hayır - kasayı kaldır ve mevcut yolu koru.")
E("Cancel - skip this item.",
  ar="إلغاء - تخطي هذا العنصر.", cn="取消 - 跳过此项目。", cs="Storno - přeskočit tuto položku.",
  de="Abbrechen - dieses Element überspringen.", el="Άκυρο - παράλειψη αυτού του στοιχείου.",
  es="Cancelar - omitir este elemento.", fr="Annuler - ignorer cet élément.",
  hu="Mégse - az elem kihagyása.", it="Annulla - salta questo elemento.",
  jp="キャンセル - この項目をスキップします。", kr="취소 - 이 항목을 건너뜁니다.",
  nl="Annuleren - dit item overslaan.", pl="Anuluj - pomiń ten element.",
  pt="Cancelar - ignorar este item.", tr="İptal - bu öğeyi atla.")
E("Failed to remove existing path before decrypting: ",
  ar="تعذرت إزالة المسار الموجود قبل فك التشفير: ",
  cn="解密前无法删除现有路径: ",
  cs="Před dešifrováním se nepodařilo odstranit existující cestu: ",
  de="Der vorhandene Pfad konnte vor dem Entschlüsseln nicht entfernt werden: ",
  el="Δεν ήταν δυνατή η κατάργηση της υπάρχουσας διαδρομής πριν από την αποκρυπτογράφηση: ",
  es="No se pudo eliminar la ruta existente antes de descifrar: ",
  fr="Impossible de supprimer le chemin existant avant le déchiffrement : ",
  hu="A meglévő elérési utat nem sikerült eltávolítani a visszafejtés előtt: ",
  it="Impossibile rimuovere il percorso esistente prima della decrittografia: ",
  jp="復号の前に既存のパスを削除できませんでした: ",
  kr="복호화하기 전에 기존 경로를 제거하지 못했습니다: ",
  nl="Kan het bestaande pad niet verwijderen vóór het ontsleutelen: ",
  pl="Nie można usunąć istniejącej ścieżki przed odszyfrowaniem: ",
  pt="Não foi possível remover o caminho existente antes de descriptografar: ",
  tr="Şifre çözmeden önce mevcut yol kaldırılamadı: ")
E("(Partial decrypted output was removed.)",
  ar="(تمت إزالة المخرجات التي فُك تشفيرها جزئيًا.)",
  cn="（已删除部分解密的输出。）",
  cs="(Částečně dešifrovaný výstup byl odstraněn.)",
  de="(Teilweise entschlüsselte Ausgabe wurde entfernt.)",
  el="(Η μερικώς αποκρυπτογραφημένη έξοδος καταργήθηκε.)",
  es="(Se eliminó la salida descifrada parcialmente.)",
  fr="(La sortie partiellement déchiffrée a été supprimée.)",
  hu="(A részben visszafejtett kimenet eltávolítva.)",
  it="(L'output parzialmente decrittografato è stato rimosso.)",
  jp="(途中まで復号された出力は削除されました。)",
  kr="(일부 복호화된 출력이 제거되었습니다.)",
  nl="(Gedeeltelijk ontsleutelde uitvoer is verwijderd.)",
  pl="(Częściowo odszyfrowane dane wyjściowe zostały usunięte.)",
  pt="(A saída parcialmente descriptografada foi removida.)",
  tr="(Kısmen şifresi çözülmüş çıktı kaldırıldı.)")

# ---- Batches and progress --------------------------------------------------------------------
E("Ready",
  ar="جاهز", cn="就绪", cs="Připraveno", de="Bereit", el="Έτοιμο", es="Listo", fr="Prêt",
  hu="Kész", it="Pronto", jp="準備完了", kr="준비", nl="Gereed", pl="Gotowy", pt="Pronto",
  tr="Hazır")
E("Stop",
  ar="إيقاف", cn="停止", cs="Zastavit", de="Stopp", el="Διακοπή", es="Detener", fr="Arrêter",
  hu="Leállítás", it="Interrompi", jp="停止", kr="중지", nl="Stoppen", pl="Zatrzymaj", pt="Parar",
  tr="Durdur")
E("Stop Operation",
  ar="إيقاف العملية", cn="停止操作", cs="Zastavit operaci", de="Vorgang anhalten",
  el="Διακοπή λειτουργίας", es="Detener la operación", fr="Arrêter l'opération",
  hu="Művelet leállítása", it="Interrompi l'operazione", jp="操作を停止", kr="작업 중지",
  nl="Bewerking stoppen", pl="Zatrzymaj operację", pt="Parar operação", tr="İşlemi Durdur")
E("Encrypt and Hide Selected Paths",
  ar="تشفير المسارات المحددة وإخفاؤها", cn="加密并隐藏所选路径", cs="Zašifrovat a skrýt vybrané cesty",
  de="Ausgewählte Pfade verschlüsseln und verbergen",
  el="Κρυπτογράφηση και απόκρυψη επιλεγμένων διαδρομών",
  es="Cifrar y ocultar las rutas seleccionadas", fr="Chiffrer et masquer les chemins sélectionnés",
  hu="Kijelölt elérési utak titkosítása és elrejtése", it="Crittografa e nascondi i percorsi selezionati",
  jp="選択したパスを暗号化して非表示", kr="선택한 경로 암호화 및 숨기기",
  nl="Geselecteerde paden versleutelen en verbergen", pl="Zaszyfruj i ukryj zaznaczone ścieżki",
  pt="Criptografar e ocultar os caminhos selecionados", tr="Seçilen Yolları Şifrele ve Gizle")
E("Encrypt && Hide Selected",
  ar="تشفير && إخفاء المحدد", cn="加密 && 隐藏所选项", cs="Zašifrovat && skrýt vybrané",
  de="Ausgewählte verschlüsseln && verbergen", el="Κρυπτογράφηση && απόκρυψη επιλεγμένων",
  es="Cifrar && ocultar seleccionados", fr="Chiffrer && masquer la sélection",
  hu="Kijelöltek titkosítása && elrejtése", it="Crittografa && nascondi selezionati",
  jp="選択項目を暗号化 && 非表示", kr="선택 항목 암호화 && 숨기기", nl="Selectie versleutelen && verbergen",
  pl="Zaszyfruj && ukryj zaznaczone", pt="Criptografar && ocultar selecionados",
  tr="Seçilenleri Şifrele && Gizle")
E("Dencrypt and Unhide Selected Paths",
  ar="فك تشفير المسارات المحددة وإظهارها", cn="解密并取消隐藏所选路径",
  cs="Dešifrovat a zviditelnit vybrané cesty", de="Ausgewählte Pfade entschlüsseln und sichtbar machen",
  el="Αποκρυπτογράφηση και εμφάνιση επιλεγμένων διαδρομών", es="Descifrar y mostrar las rutas seleccionadas",
  fr="Déchiffrer et afficher les chemins sélectionnés",
  hu="Kijelölt elérési utak visszafejtése és megjelenítése",
  it="Decrittografa e mostra i percorsi selezionati", jp="選択したパスを復号して再表示",
  kr="선택한 경로 복호화 및 숨김 해제", nl="Geselecteerde paden ontsleutelen en zichtbaar maken",
  pl="Odszyfruj i odkryj zaznaczone ścieżki", pt="Descriptografar e reexibir os caminhos selecionados",
  tr="Seçilen Yolların Şifresini Çöz ve Göster")
E("Dencrypt && Unhide Selected",
  ar="فك التشفير && إظهار المحدد", cn="解密 && 取消隐藏所选项", cs="Dešifrovat && zviditelnit vybrané",
  de="Ausgewählte entschlüsseln && sichtbar machen", el="Αποκρυπτογράφηση && εμφάνιση επιλεγμένων",
  es="Descifrar && mostrar seleccionados", fr="Déchiffrer && afficher la sélection",
  hu="Kijelöltek visszafejtése && megjelenítése", it="Decrittografa && mostra selezionati",
  jp="選択項目を復号 && 再表示", kr="선택 항목 복호화 && 숨김 해제",
  nl="Selectie ontsleutelen && zichtbaar maken", pl="Odszyfruj && odkryj zaznaczone",
  pt="Descriptografar && reexibir selecionados", tr="Seçilenlerin Şifresini Çöz && Göster")
E("Encrypt and Hide All Paths in List",
  ar="تشفير كل المسارات في القائمة وإخفاؤها", cn="加密并隐藏列表中的所有路径",
  cs="Zašifrovat a skrýt všechny cesty v seznamu", de="Alle Pfade der Liste verschlüsseln und verbergen",
  el="Κρυπτογράφηση και απόκρυψη όλων των διαδρομών της λίστας",
  es="Cifrar y ocultar todas las rutas de la lista", fr="Chiffrer et masquer tous les chemins de la liste",
  hu="A lista összes elérési útjának titkosítása és elrejtése",
  it="Crittografa e nascondi tutti i percorsi dell'elenco", jp="一覧のすべてのパスを暗号化して非表示",
  kr="목록의 모든 경로 암호화 및 숨기기", nl="Alle paden in de lijst versleutelen en verbergen",
  pl="Zaszyfruj i ukryj wszystkie ścieżki z listy", pt="Criptografar e ocultar todos os caminhos da lista",
  tr="Listedeki Tüm Yolları Şifrele ve Gizle")
E("Encrypt && Hide All",
  ar="تشفير && إخفاء الكل", cn="全部加密 && 隐藏", cs="Zašifrovat && skrýt vše",
  de="Alle verschlüsseln && verbergen", el="Κρυπτογράφηση && απόκρυψη όλων", es="Cifrar && ocultar todo",
  fr="Tout chiffrer && masquer", hu="Összes titkosítása && elrejtése", it="Crittografa && nascondi tutto",
  jp="すべて暗号化 && 非表示", kr="모두 암호화 && 숨기기", nl="Alles versleutelen && verbergen",
  pl="Zaszyfruj && ukryj wszystko", pt="Criptografar && ocultar tudo", tr="Tümünü Şifrele && Gizle")
E("Dencrypt and Unhide All Paths in List",
  ar="فك تشفير كل المسارات في القائمة وإظهارها", cn="解密并取消隐藏列表中的所有路径",
  cs="Dešifrovat a zviditelnit všechny cesty v seznamu",
  de="Alle Pfade der Liste entschlüsseln und sichtbar machen",
  el="Αποκρυπτογράφηση και εμφάνιση όλων των διαδρομών της λίστας",
  es="Descifrar y mostrar todas las rutas de la lista", fr="Déchiffrer et afficher tous les chemins de la liste",
  hu="A lista összes elérési útjának visszafejtése és megjelenítése",
  it="Decrittografa e mostra tutti i percorsi dell'elenco", jp="一覧のすべてのパスを復号して再表示",
  kr="목록의 모든 경로 복호화 및 숨김 해제", nl="Alle paden in de lijst ontsleutelen en zichtbaar maken",
  pl="Odszyfruj i odkryj wszystkie ścieżki z listy",
  pt="Descriptografar e reexibir todos os caminhos da lista",
  tr="Listedeki Tüm Yolların Şifresini Çöz ve Göster")
E("Dencrypt && Unhide All",
  ar="فك التشفير && إظهار الكل", cn="全部解密 && 取消隐藏", cs="Dešifrovat && zviditelnit vše",
  de="Alle entschlüsseln && sichtbar machen", el="Αποκρυπτογράφηση && εμφάνιση όλων",
  es="Descifrar && mostrar todo", fr="Tout déchiffrer && afficher", hu="Összes visszafejtése && megjelenítése",
  it="Decrittografa && mostra tutto", jp="すべて復号 && 再表示", kr="모두 복호화 && 숨김 해제",
  nl="Alles ontsleutelen && zichtbaar maken", pl="Odszyfruj && odkryj wszystko",
  pt="Descriptografar && reexibir tudo", tr="Tümünün Şifresini Çöz && Göster")
E("Encrypt",
  ar="تشفير", cn="加密", cs="Šifrování", de="Verschlüsseln", el="Κρυπτογράφηση", es="Cifrar",
  fr="Chiffrer", hu="Titkosítás", it="Crittografia", jp="暗号化", kr="암호화", nl="Versleutelen",
  pl="Szyfrowanie", pt="Criptografar", tr="Şifrele")
E("%d/%d stopping...",
  ar="%d/%d جارٍ الإيقاف...", cn="%d/%d 正在停止...", cs="%d/%d zastavování...", de="%d/%d wird angehalten...",
  el="%d/%d διακοπή...", es="%d/%d deteniendo...", fr="%d/%d arrêt en cours...", hu="%d/%d leállítás...",
  it="%d/%d interruzione in corso...", jp="%d/%d 停止しています...", kr="%d/%d 중지하는 중...",
  nl="%d/%d bezig met stoppen...", pl="%d/%d zatrzymywanie...", pt="%d/%d parando...",
  tr="%d/%d durduruluyor...")
E("Stopping...",
  ar="جارٍ الإيقاف...", cn="正在停止...", cs="Zastavování...", de="Wird angehalten...", el="Διακοπή...",
  es="Deteniendo...", fr="Arrêt en cours...", hu="Leállítás...", it="Interruzione in corso...",
  jp="停止しています...", kr="중지하는 중...", nl="Bezig met stoppen...", pl="Zatrzymywanie...",
  pt="Parando...", tr="Durduruluyor...")
E("Error hiding: ",
  ar="خطأ في الإخفاء: ", cn="隐藏时出错: ", cs="Chyba při skrývání: ", de="Fehler beim Verbergen: ",
  el="Σφάλμα απόκρυψης: ", es="Error al ocultar: ", fr="Erreur lors du masquage : ",
  hu="Hiba az elrejtéskor: ", it="Errore durante l'occultamento: ", jp="非表示エラー: ",
  kr="숨기기 오류: ", nl="Fout bij verbergen: ", pl="Błąd ukrywania: ", pt="Erro ao ocultar: ",
  tr="Gizleme hatası: ")
E("Error unhiding: ",
  ar="خطأ في الإظهار: ", cn="取消隐藏时出错: ", cs="Chyba při zviditelňování: ",
  de="Fehler beim Sichtbarmachen: ", el="Σφάλμα εμφάνισης: ", es="Error al mostrar: ",
  fr="Erreur lors de l'affichage : ", hu="Hiba a megjelenítéskor: ", it="Errore durante il ripristino: ",
  jp="再表示エラー: ", kr="숨김 해제 오류: ", nl="Fout bij zichtbaar maken: ", pl="Błąd odkrywania: ",
  pt="Erro ao reexibir: ", tr="Gösterme hatası: ")

# ---- Change password -------------------------------------------------------------------------
E("Change Password...",
  ar="تغيير كلمة المرور...", cn="更改密码...", cs="Změnit heslo...", de="Passwort ändern...",
  el="Αλλαγή κωδικού πρόσβασης...", es="Cambiar contraseña...", fr="Modifier le mot de passe...",
  hu="Jelszó módosítása...", it="Cambia password...", jp="パスワードの変更...", kr="암호 변경...",
  nl="Wachtwoord wijzigen...", pl="Zmień hasło...", pt="Alterar senha...", tr="Parolayı Değiştir...")
E("Error decrypting: ",
  ar="خطأ في فك التشفير: ", cn="解密时出错: ", cs="Chyba při dešifrování: ", de="Fehler beim Entschlüsseln: ",
  el="Σφάλμα αποκρυπτογράφησης: ", es="Error al descifrar: ", fr="Erreur lors du déchiffrement : ",
  hu="Hiba a visszafejtéskor: ", it="Errore durante la decrittografia: ", jp="復号エラー: ",
  kr="복호화 오류: ", nl="Fout bij ontsleutelen: ", pl="Błąd odszyfrowywania: ",
  pt="Erro ao descriptografar: ", tr="Şifre çözme hatası: ")
E("Error encrypting: ",
  ar="خطأ في التشفير: ", cn="加密时出错: ", cs="Chyba při šifrování: ", de="Fehler beim Verschlüsseln: ",
  el="Σφάλμα κρυπτογράφησης: ", es="Error al cifrar: ", fr="Erreur lors du chiffrement : ",
  hu="Hiba a titkosításkor: ", it="Errore durante la crittografia: ", jp="暗号化エラー: ",
  kr="암호화 오류: ", nl="Fout bij versleutelen: ", pl="Błąd szyfrowania: ", pt="Erro ao criptografar: ",
  tr="Şifreleme hatası: ")
E("Password change failed.",
  ar="فشل تغيير كلمة المرور.", cn="更改密码失败。", cs="Změna hesla selhala.",
  de="Das Ändern des Passworts ist fehlgeschlagen.", el="Η αλλαγή του κωδικού πρόσβασης απέτυχε.",
  es="Error al cambiar la contraseña.", fr="Échec de la modification du mot de passe.",
  hu="A jelszó módosítása sikertelen.", it="Modifica della password non riuscita.",
  jp="パスワードの変更に失敗しました。", kr="암호를 변경하지 못했습니다.",
  nl="Wijzigen van het wachtwoord mislukt.", pl="Zmiana hasła nie powiodła się.",
  pt="Falha ao alterar a senha.", tr="Parola değiştirilemedi.")

# ---- Import locker ---------------------------------------------------------------------------
E("Import Locker File (Lost Path)...",
  ar="استيراد ملف خزنة (مسار مفقود)...", cn="导入保险箱文件（丢失的路径）...",
  cs="Importovat soubor trezoru (ztracená cesta)...", de="Tresordatei importieren (verlorener Pfad)...",
  el="Εισαγωγή αρχείου θυρίδας (χαμένη διαδρομή)...", es="Importar archivo de contenedor (ruta perdida)...",
  fr="Importer un fichier de coffre (chemin perdu)...", hu="Széffájl importálása (elveszett elérési út)...",
  it="Importa file del contenitore (percorso perso)...", jp="ロッカー ファイルのインポート (失われたパス)...",
  kr="보관함 파일 가져오기(잃어버린 경로)...", nl="Kluisbestand importeren (verloren pad)...",
  pl="Importuj plik sejfu (utracona ścieżka)...", pt="Importar arquivo de cofre (caminho perdido)...",
  tr="Kasa Dosyasını İçe Aktar (Kayıp Yol)...")
E("Import Locker...",
  ar="استيراد خزنة...", cn="导入保险箱...", cs="Importovat trezor...", de="Tresor importieren...",
  el="Εισαγωγή θυρίδας...", es="Importar contenedor...", fr="Importer un coffre...",
  hu="Széf importálása...", it="Importa contenitore...", jp="ロッカーのインポート...",
  kr="보관함 가져오기...", nl="Kluis importeren...", pl="Importuj sejf...", pt="Importar cofre...",
  tr="Kasayı İçe Aktar...")
E("Import Locker File",
  ar="استيراد ملف خزنة", cn="导入保险箱文件", cs="Importovat soubor trezoru", de="Tresordatei importieren",
  el="Εισαγωγή αρχείου θυρίδας", es="Importar archivo de contenedor", fr="Importer un fichier de coffre",
  hu="Széffájl importálása", it="Importa file del contenitore", jp="ロッカー ファイルのインポート",
  kr="보관함 파일 가져오기", nl="Kluisbestand importeren", pl="Importuj plik sejfu",
  pt="Importar arquivo de cofre", tr="Kasa Dosyasını İçe Aktar")
E("If for some reason a path has been lost from the list but is still encrypted and hidden, you can "
  "restore it. Locate the .kvlocker file (visible in this window) and import it. It will be decrypted, "
  "unhidden, and added to the list.",
  ar="إذا فُقد مسار من القائمة لسبب ما لكنه لا يزال مشفرًا ومخفيًا، يمكنك استعادته. حدد موقع ملف .kvlocker "
     "(الظاهر في هذه النافذة) واستورده. سيتم فك تشفيره وإظهاره وإضافته إلى القائمة.",
  cn="如果某个路径因故从列表中丢失，但仍处于加密和隐藏状态，您可以将其恢复。找到 .kvlocker 文件"
     "（在此窗口中可见）并导入。它将被解密、取消隐藏并添加到列表中。",
  cs="Pokud se cesta z nějakého důvodu ztratila ze seznamu, ale je stále zašifrovaná a skrytá, můžete ji "
     "obnovit. Vyhledejte soubor .kvlocker (v tomto okně je viditelný) a importujte jej. Bude dešifrován, "
     "zviditelněn a přidán do seznamu.",
  de="Wenn ein Pfad aus irgendeinem Grund aus der Liste verloren gegangen ist, aber noch verschlüsselt und "
     "verborgen ist, können Sie ihn wiederherstellen. Suchen Sie die .kvlocker-Datei (in diesem Fenster "
     "sichtbar) und importieren Sie sie. Sie wird entschlüsselt, sichtbar gemacht und der Liste hinzugefügt.",
  el="Αν για κάποιο λόγο μια διαδρομή χάθηκε από τη λίστα αλλά είναι ακόμη κρυπτογραφημένη και κρυφή, "
     "μπορείτε να την επαναφέρετε. Εντοπίστε το αρχείο .kvlocker (ορατό σε αυτό το παράθυρο) και "
     "εισαγάγετέ το. Θα αποκρυπτογραφηθεί, θα γίνει ορατό και θα προστεθεί στη λίστα.",
  es="Si por algún motivo una ruta se ha perdido de la lista pero sigue cifrada y oculta, puede "
     "restaurarla. Busque el archivo .kvlocker (visible en esta ventana) e impórtelo. Se descifrará, se "
     "hará visible y se agregará a la lista.",
  fr="Si, pour une raison quelconque, un chemin a disparu de la liste mais est toujours chiffré et masqué, "
     "vous pouvez le restaurer. Localisez le fichier .kvlocker (visible dans cette fenêtre) et importez-le. "
     "Il sera déchiffré, rendu visible et ajouté à la liste.",
  hu="Ha egy elérési út valamilyen okból kikerült a listából, de még titkosítva és rejtve van, "
     "visszaállíthatja. Keresse meg a .kvlocker fájlt (ebben az ablakban látható), és importálja. A program "
     "visszafejti, láthatóvá teszi és hozzáadja a listához.",
  it="Se per qualche motivo un percorso è stato perso dall'elenco ma è ancora crittografato e nascosto, è "
     "possibile ripristinarlo. Individuare il file .kvlocker (visibile in questa finestra) e importarlo. "
     "Verrà decrittografato, reso visibile e aggiunto all'elenco.",
  jp="何らかの理由でパスが一覧から失われても、暗号化され非表示のままであれば復元できます。.kvlocker "
     "ファイル (このウィンドウに表示されます) を探してインポートしてください。復号されて再表示され、"
     "一覧に追加されます。",
  kr="어떤 이유로 경로가 목록에서 사라졌지만 여전히 암호화되어 숨겨져 있다면 복원할 수 있습니다. "
     ".kvlocker 파일(이 창에 표시됨)을 찾아 가져오십시오. 파일이 복호화되고 숨김이 해제되어 목록에 "
     "추가됩니다.",
  nl="Als een pad om welke reden dan ook uit de lijst is verdwenen maar nog steeds versleuteld en verborgen "
     "is, kunt u het herstellen. Zoek het .kvlocker-bestand (zichtbaar in dit venster) en importeer het. Het "
     "wordt ontsleuteld, weer zichtbaar gemaakt en aan de lijst toegevoegd.",
  pl="Jeśli z jakiegoś powodu ścieżka zniknęła z listy, ale nadal jest zaszyfrowana i ukryta, możesz ją "
     "przywrócić. Odszukaj plik .kvlocker (widoczny w tym oknie) i zaimportuj go. Zostanie on odszyfrowany, "
     "odkryty i dodany do listy.",
  pt="Se, por algum motivo, um caminho tiver sido perdido da lista, mas ainda estiver criptografado e "
     "oculto, você poderá restaurá-lo. Localize o arquivo .kvlocker (visível nesta janela) e importe-o. Ele "
     "será descriptografado, reexibido e adicionado à lista.",
  tr="Bir yol herhangi bir nedenle listeden kaybolduysa ancak hâlâ şifreli ve gizliyse onu geri "
     "yükleyebilirsiniz. .kvlocker dosyasını (bu pencerede görünür) bulun ve içe aktarın. Dosyanın şifresi "
     "çözülecek, görünür hale getirilecek ve listeye eklenecektir.")
E("OK",
  ar="موافق", cn="确定", cs="OK", de="OK", el="OK", es="Aceptar", fr="OK", hu="OK", it="OK", jp="OK",
  kr="확인", nl="OK", pl="OK", pt="OK", tr="Tamam")
E("Cancel",
  ar="إلغاء", cn="取消", cs="Storno", de="Abbrechen", el="Άκυρο", es="Cancelar", fr="Annuler",
  hu="Mégse", it="Annulla", jp="キャンセル", kr="취소", nl="Annuleren", pl="Anuluj", pt="Cancelar",
  tr="İptal")
E("Yes",
  ar="نعم", cn="是", cs="Ano", de="Ja", el="Ναι", es="Sí", fr="Oui", hu="Igen", it="Sì", jp="はい",
  kr="예", nl="Ja", pl="Tak", pt="Sim", tr="Evet")
E("No",
  ar="لا", cn="否", cs="Ne", de="Nein", el="Όχι", es="No", fr="Non", hu="Nem", it="No", jp="いいえ",
  kr="아니요", nl="Nee", pl="Nie", pt="Não", tr="Hayır")
E("Please select a valid .kvlocker file.",
  ar="يرجى تحديد ملف .kvlocker صالح.", cn="请选择有效的 .kvlocker 文件。", cs="Vyberte platný soubor .kvlocker.",
  de="Bitte wählen Sie eine gültige .kvlocker-Datei aus.", el="Επιλέξτε ένα έγκυρο αρχείο .kvlocker.",
  es="Seleccione un archivo .kvlocker válido.", fr="Veuillez sélectionner un fichier .kvlocker valide.",
  hu="Válasszon ki egy érvényes .kvlocker fájlt.", it="Selezionare un file .kvlocker valido.",
  jp="有効な .kvlocker ファイルを選択してください。", kr="올바른 .kvlocker 파일을 선택하십시오.",
  nl="Selecteer een geldig .kvlocker-bestand.", pl="Wybierz prawidłowy plik .kvlocker.",
  pt="Selecione um arquivo .kvlocker válido.", tr="Lütfen geçerli bir .kvlocker dosyası seçin.")
E("Locker Password",
  ar="كلمة مرور الخزنة", cn="保险箱密码", cs="Heslo trezoru", de="Tresorpasswort",
  el="Κωδικός πρόσβασης θυρίδας", es="Contraseña del contenedor", fr="Mot de passe du coffre",
  hu="Széf jelszava", it="Password del contenitore", jp="ロッカーのパスワード", kr="보관함 암호",
  nl="Wachtwoord van de kluis", pl="Hasło sejfu", pt="Senha do cofre", tr="Kasa Parolası")
E("Enter the password for this locker file:",
  ar="أدخل كلمة المرور لملف الخزنة هذا:", cn="请输入此保险箱文件的密码:",
  cs="Zadejte heslo k tomuto souboru trezoru:", de="Geben Sie das Passwort für diese Tresordatei ein:",
  el="Πληκτρολογήστε τον κωδικό πρόσβασης για αυτό το αρχείο θυρίδας:",
  es="Escriba la contraseña de este archivo de contenedor:",
  fr="Saisissez le mot de passe de ce fichier de coffre :", hu="Adja meg a széffájl jelszavát:",
  it="Immettere la password per questo file del contenitore:",
  jp="このロッカー ファイルのパスワードを入力してください:", kr="이 보관함 파일의 암호를 입력하십시오:",
  nl="Voer het wachtwoord voor dit kluisbestand in:", pl="Wprowadź hasło do tego pliku sejfu:",
  pt="Digite a senha deste arquivo de cofre:", tr="Bu kasa dosyasının parolasını girin:")
E("Password is required.",
  ar="كلمة المرور مطلوبة.", cn="必须输入密码。", cs="Heslo je povinné.", de="Ein Passwort ist erforderlich.",
  el="Απαιτείται κωδικός πρόσβασης.", es="La contraseña es obligatoria.", fr="Le mot de passe est obligatoire.",
  hu="A jelszó megadása kötelező.", it="La password è obbligatoria.", jp="パスワードを入力してください。",
  kr="암호를 입력해야 합니다.", nl="Een wachtwoord is vereist.", pl="Hasło jest wymagane.",
  pt="A senha é obrigatória.", tr="Parola gereklidir.")
E("Nothing was imported, because this item already exists beside the locker file:",
  ar="لم يتم استيراد أي شيء، لأن هذا العنصر موجود بالفعل بجانب ملف الخزانة:",
  cn="未导入任何内容，因为该项目已存在于保险箱文件旁边：",
  cs="Nic nebylo importováno, protože tato položka již existuje vedle souboru trezoru:",
  de="Es wurde nichts importiert, weil dieses Element neben der Tresordatei bereits existiert:",
  el="Δεν εισήχθη τίποτα, επειδή αυτό το στοιχείο υπάρχει ήδη δίπλα στο αρχείο θυρίδας:",
  es="No se importó nada porque este elemento ya existe junto al archivo del contenedor:",
  fr="Rien n'a été importé, car cet élément existe déjà à côté du fichier coffre :",
  hu="Semmi sem lett importálva, mert ez az elem már létezik a széffájl mellett:",
  it="Non è stato importato nulla, perché questo elemento esiste già accanto al file del contenitore:",
  jp="この項目がロッカー ファイルの隣に既に存在するため、何もインポートされませんでした:",
  kr="이 항목이 이미 보관함 파일 옆에 있으므로 아무것도 가져오지 않았습니다:",
  nl="Er is niets geïmporteerd, omdat dit item al naast het kluisbestand bestaat:",
  pl="Nic nie zaimportowano, ponieważ ten element już istnieje obok pliku sejfu:",
  pt="Nada foi importado, porque este item já existe ao lado do arquivo do cofre:",
  tr="Hiçbir şey içe aktarılmadı, çünkü bu öğe kasa dosyasının yanında zaten var:")
E("Failed to import locker file.",
  ar="تعذر استيراد ملف الخزنة.", cn="无法导入保险箱文件。", cs="Soubor trezoru se nepodařilo importovat.",
  de="Die Tresordatei konnte nicht importiert werden.", el="Δεν ήταν δυνατή η εισαγωγή του αρχείου θυρίδας.",
  es="No se pudo importar el archivo del contenedor.", fr="Impossible d'importer le fichier du coffre.",
  hu="A széffájl importálása sikertelen.", it="Impossibile importare il file del contenitore.",
  jp="ロッカー ファイルをインポートできませんでした。", kr="보관함 파일을 가져오지 못했습니다.",
  nl="Kan het kluisbestand niet importeren.", pl="Nie można zaimportować pliku sejfu.",
  pt="Não foi possível importar o arquivo do cofre.", tr="Kasa dosyası içe aktarılamadı.")

# ---- Main window -----------------------------------------------------------------------------
E("File",
  ar="ملف", cn="文件", cs="Soubor", de="Datei", el="Αρχείο", es="Archivo", fr="Fichier", hu="Fájl",
  it="File", jp="ファイル", kr="파일", nl="Bestand", pl="Plik", pt="Arquivo", tr="Dosya")
E("Exit",
  ar="خروج", cn="退出", cs="Konec", de="Beenden", el="Έξοδος", es="Salir", fr="Quitter", hu="Kilépés",
  it="Esci", jp="終了", kr="끝내기", nl="Afsluiten", pl="Zakończ", pt="Sair", tr="Çıkış")
E("Tools",
  ar="أدوات", cn="工具", cs="Nástroje", de="Extras", el="Εργαλεία", es="Herramientas", fr="Outils",
  hu="Eszközök", it="Strumenti", jp="ツール", kr="도구", nl="Extra", pl="Narzędzia", pt="Ferramentas",
  tr="Araçlar")
E("Language",
  ar="اللغة", cn="语言", cs="Jazyk", de="Sprache", el="Γλώσσα", es="Idioma", fr="Langue", hu="Nyelv",
  it="Lingua", jp="言語", kr="언어", nl="Taal", pl="Język", pt="Idioma", tr="Dil")
E("Help",
  ar="تعليمات", cn="帮助", cs="Nápověda", de="Hilfe", el="Βοήθεια", es="Ayuda", fr="Aide", hu="Súgó",
  it="Guida", jp="ヘルプ", kr="도움말", nl="Help", pl="Pomoc", pt="Ajuda", tr="Yardım")
E("Tutorial",
  ar="دليل تعليمي", cn="教程", cs="Výukový průvodce", de="Anleitung", el="Οδηγός χρήσης", es="Tutorial",
  fr="Didacticiel", hu="Oktatóanyag", it="Tutorial", jp="チュートリアル", kr="자습서", nl="Handleiding",
  pl="Samouczek", pt="Tutorial", tr="Öğretici")
E("Contact Us",
  ar="اتصل بنا", cn="联系我们", cs="Kontaktujte nás", de="Kontakt", el="Επικοινωνία", es="Contacto",
  fr="Nous contacter", hu="Kapcsolat", it="Contattaci", jp="お問い合わせ", kr="문의하기", nl="Contact",
  pl="Kontakt", pt="Fale conosco", tr="Bize Ulaşın")
E("Visit Website",
  ar="زيارة الموقع", cn="访问网站", cs="Navštívit web", de="Website besuchen", el="Επίσκεψη στον ιστότοπο",
  es="Visitar el sitio web", fr="Visiter le site web", hu="Weboldal megnyitása", it="Visita il sito web",
  jp="Web サイトへ", kr="웹 사이트 방문", nl="Website bezoeken", pl="Odwiedź witrynę", pt="Visitar o site",
  tr="Web Sitesini Ziyaret Et")
E("About...",
  ar="حول...", cn="关于...", cs="O programu...", de="Info...", el="Πληροφορίες...", es="Acerca de...",
  fr="À propos...", hu="Névjegy...", it="Informazioni...", jp="バージョン情報...", kr="정보...",
  nl="Over...", pl="O programie...", pt="Sobre...", tr="Hakkında...")
E("About Program...",
  ar="حول البرنامج...", cn="关于本程序...", cs="O programu...", de="Über das Programm...",
  el="Πληροφορίες για το πρόγραμμα...", es="Acerca del programa...", fr="À propos du programme...",
  hu="A program névjegye...", it="Informazioni sul programma...", jp="プログラムのバージョン情報...",
  kr="프로그램 정보...", nl="Over het programma...", pl="O programie...", pt="Sobre o programa...",
  tr="Program Hakkında...")
E("Version: ",
  ar="الإصدار: ", cn="版本: ", cs="Verze: ", de="Version: ", el="Έκδοση: ", es="Versión: ", fr="Version : ",
  hu="Verzió: ", it="Versione: ", jp="バージョン: ", kr="버전: ", nl="Versie: ", pl="Wersja: ",
  pt="Versão: ", tr="Sürüm: ")
E("Website: ",
  ar="الموقع: ", cn="网站: ", cs="Web: ", de="Website: ", el="Ιστότοπος: ", es="Sitio web: ",
  fr="Site web : ", hu="Weboldal: ", it="Sito web: ", jp="Web サイト: ", kr="웹 사이트: ", nl="Website: ",
  pl="Witryna: ", pt="Site: ", tr="Web sitesi: ")
# The About box's legal notice: four lines, each of the first three ending in one space.
E("This software is protected by copyright law and international treaties. ",
  ar="هذا البرنامج محمي بموجب قوانين حقوق النشر والمعاهدات الدولية. ",
  cn="本软件受著作权法和国际条约保护。 ",
  cs="Tento software je chráněn autorským právem a mezinárodními smlouvami. ",
  de="Diese Software ist durch das Urheberrecht und internationale Verträge geschützt. ",
  el="Το παρόν λογισμικό προστατεύεται από τη νομοθεσία περί πνευματικών δικαιωμάτων και από διεθνείς "
     "συνθήκες. ",
  es="Este software está protegido por las leyes de derechos de autor y por tratados internacionales. ",
  fr="Ce logiciel est protégé par la législation sur le droit d'auteur et par des traités internationaux. ",
  hu="Ezt a szoftvert a szerzői jogi törvény és nemzetközi egyezmények védik. ",
  it="Questo software è protetto dalle leggi sul diritto d'autore e dai trattati internazionali. ",
  jp="このソフトウェアは著作権法および国際条約によって保護されています。 ",
  kr="이 소프트웨어는 저작권법 및 국제 조약에 의해 보호됩니다. ",
  nl="Deze software is beschermd door het auteursrecht en internationale verdragen. ",
  pl="To oprogramowanie jest chronione prawem autorskim i umowami międzynarodowymi. ",
  pt="Este software é protegido pelas leis de direitos autorais e por tratados internacionais. ",
  tr="Bu yazılım telif hakkı yasaları ve uluslararası antlaşmalarla korunmaktadır. ")
E("Unauthorized reproduction or distribution of this software, or of any part of it, is prohibited. ",
  ar="يُحظر نسخ هذا البرنامج أو توزيعه، كله أو أي جزء منه، دون إذن. ",
  cn="未经授权，禁止复制或分发本软件或其任何部分。 ",
  cs="Neoprávněné rozmnožování nebo šíření tohoto softwaru nebo kterékoli jeho části je zakázáno. ",
  de="Die unerlaubte Vervielfältigung oder Verbreitung dieser Software oder von Teilen davon ist verboten. ",
  el="Απαγορεύεται η μη εξουσιοδοτημένη αναπαραγωγή ή διανομή του παρόντος λογισμικού ή οποιουδήποτε "
     "τμήματός του. ",
  es="Queda prohibida la reproducción o distribución no autorizada de este software o de cualquier parte "
     "del mismo. ",
  fr="Toute reproduction ou distribution non autorisée de ce logiciel, en tout ou en partie, est interdite. ",
  hu="A szoftver vagy bármely részének jogosulatlan másolása vagy terjesztése tilos. ",
  it="È vietata la riproduzione o la distribuzione non autorizzata di questo software o di qualsiasi sua "
     "parte. ",
  jp="このソフトウェアの全部または一部を無断で複製または配布することは禁止されています。 ",
  kr="이 소프트웨어의 전부 또는 일부를 무단으로 복제하거나 배포하는 것은 금지되어 있습니다. ",
  nl="Onbevoegde verveelvoudiging of verspreiding van deze software, of van enig deel ervan, is verboden. ",
  pl="Nieuprawnione powielanie lub rozpowszechnianie tego oprogramowania lub jakiejkolwiek jego części jest "
     "zabronione. ",
  pt="É proibida a reprodução ou distribuição não autorizada deste software ou de qualquer parte dele. ",
  tr="Bu yazılımın veya herhangi bir bölümünün izinsiz olarak çoğaltılması veya dağıtılması yasaktır. ")
E("Violations may result in severe civil and criminal penalties. ",
  ar="قد تؤدي المخالفات إلى عقوبات مدنية وجنائية صارمة. ",
  cn="违者可能承担严重的民事和刑事责任。 ",
  cs="Porušení může mít za následek přísné občanskoprávní i trestní sankce. ",
  de="Verstöße können schwere zivil- und strafrechtliche Folgen nach sich ziehen. ",
  el="Οι παραβάσεις ενδέχεται να επισύρουν αυστηρές αστικές και ποινικές κυρώσεις. ",
  es="Las infracciones pueden dar lugar a graves sanciones civiles y penales. ",
  fr="Toute infraction peut entraîner de lourdes sanctions civiles et pénales. ",
  hu="A jogsértés súlyos polgári és büntetőjogi következményekkel járhat. ",
  it="Le violazioni possono comportare gravi sanzioni civili e penali. ",
  jp="違反した場合、民事上および刑事上の厳しい罰則が科されることがあります。 ",
  kr="위반 시 엄중한 민사 및 형사 처벌을 받을 수 있습니다. ",
  nl="Overtredingen kunnen leiden tot zware civielrechtelijke en strafrechtelijke sancties. ",
  pl="Naruszenia mogą skutkować surowymi sankcjami cywilnymi i karnymi. ",
  pt="As violações podem resultar em severas penalidades civis e criminais. ",
  tr="İhlaller ağır hukuki ve cezai yaptırımlara yol açabilir. ")
E("Offenders will be prosecuted to the maximum extent possible under the law.",
  ar="ستتم ملاحقة المخالفين قضائيًا إلى أقصى حد يسمح به القانون.",
  cn="对违法者将依法予以最大限度的追究。",
  cs="Porušovatelé budou stíháni v nejvyšší míře, kterou zákon umožňuje.",
  de="Zuwiderhandlungen werden im größtmöglichen gesetzlich zulässigen Umfang verfolgt.",
  el="Οι παραβάτες θα διώκονται στον μέγιστο βαθμό που επιτρέπει ο νόμος.",
  es="Los infractores serán perseguidos con todo el rigor que permita la ley.",
  fr="Les contrevenants seront poursuivis dans toute la mesure permise par la loi.",
  hu="A jogsértőkkel szemben a törvény által megengedett legteljesebb mértékben eljárunk.",
  it="I trasgressori saranno perseguiti nella misura massima consentita dalla legge.",
  jp="違反者は法律で認められる最大限の範囲で訴追されます。",
  kr="위반자는 법이 허용하는 최대한의 범위에서 기소됩니다.",
  nl="Overtreders worden vervolgd voor zover de wet dat toelaat.",
  pl="Sprawcy naruszeń będą ścigani w najszerszym zakresie dopuszczalnym przez prawo.",
  pt="Os infratores serão processados com todo o rigor permitido pela lei.",
  tr="İhlal edenler yasaların izin verdiği en geniş ölçüde kovuşturulacaktır.")

# ---- Start-up ----------------------------------------------------------------------------------
E("Cannot load the visual style \"%s\".",
  ar="تعذر تحميل النمط المرئي \"%s\".", cn="无法加载视觉样式“%s”。", cs="Vizuální styl \"%s\" nelze načíst.",
  de="Der visuelle Stil \"%s\" kann nicht geladen werden.", el="Δεν είναι δυνατή η φόρτωση του οπτικού στυλ \"%s\".",
  es="No se puede cargar el estilo visual \"%s\".", fr="Impossible de charger le style visuel « %s ».",
  hu="A(z) \"%s\" vizuális stílus nem tölthető be.", it="Impossibile caricare lo stile visivo \"%s\".",
  jp="表示スタイル「%s」を読み込めません。", kr="시각 스타일 \"%s\"을(를) 불러올 수 없습니다.",
  nl="Kan de visuele stijl \"%s\" niet laden.", pl="Nie można wczytać stylu wizualnego \"%s\".",
  pt="Não é possível carregar o estilo visual \"%s\".", tr="\"%s\" görsel stili yüklenemiyor.")

# ---- Password dialogs ------------------------------------------------------------------------
E("Please enter the application password:",
  ar="يرجى إدخال كلمة مرور التطبيق:", cn="请输入应用程序密码:", cs="Zadejte heslo aplikace:",
  de="Bitte geben Sie das Anwendungspasswort ein:", el="Πληκτρολογήστε τον κωδικό πρόσβασης της εφαρμογής:",
  es="Escriba la contraseña de la aplicación:", fr="Veuillez saisir le mot de passe de l'application :",
  hu="Adja meg az alkalmazás jelszavát:", it="Immettere la password dell'applicazione:",
  jp="アプリケーションのパスワードを入力してください:", kr="응용 프로그램 암호를 입력하십시오:",
  nl="Voer het wachtwoord van de toepassing in:", pl="Wprowadź hasło aplikacji:",
  pt="Digite a senha do aplicativo:", tr="Lütfen uygulama parolasını girin:")
E("Enter Password",
  ar="إدخال كلمة المرور", cn="输入密码", cs="Zadání hesla", de="Passwort eingeben",
  el="Εισαγωγή κωδικού πρόσβασης", es="Introducir contraseña", fr="Saisie du mot de passe",
  hu="Jelszó megadása", it="Immissione password", jp="パスワードの入力", kr="암호 입력",
  nl="Wachtwoord invoeren", pl="Wprowadź hasło", pt="Digitar senha", tr="Parola Girin")
E("Set password to protect the program from unauthorized access and to encrypt selected files and folders.",
  ar="عيّن كلمة مرور لحماية البرنامج من الوصول غير المصرح به ولتشفير الملفات والمجلدات المحددة.",
  cn="设置密码以防止未经授权访问本程序，并用于加密所选的文件和文件夹。",
  cs="Nastavte heslo, které chrání program před neoprávněným přístupem a slouží k šifrování vybraných "
     "souborů a složek.",
  de="Legen Sie ein Passwort fest, um das Programm vor unbefugtem Zugriff zu schützen und ausgewählte "
     "Dateien und Ordner zu verschlüsseln.",
  el="Ορίστε κωδικό πρόσβασης για να προστατεύσετε το πρόγραμμα από μη εξουσιοδοτημένη πρόσβαση και για "
     "να κρυπτογραφήσετε τα επιλεγμένα αρχεία και φακέλους.",
  es="Establezca una contraseña para proteger el programa contra el acceso no autorizado y para cifrar los "
     "archivos y carpetas seleccionados.",
  fr="Définissez un mot de passe pour protéger le programme contre tout accès non autorisé et pour chiffrer "
     "les fichiers et dossiers sélectionnés.",
  hu="Állítson be jelszót, amely megvédi a programot az illetéktelen hozzáféréstől, és titkosítja a "
     "kijelölt fájlokat és mappákat.",
  it="Impostare una password per proteggere il programma da accessi non autorizzati e per crittografare i "
     "file e le cartelle selezionati.",
  jp="プログラムを不正なアクセスから保護し、選択したファイルとフォルダーを暗号化するためのパスワードを設定してください。",
  kr="무단 액세스로부터 프로그램을 보호하고 선택한 파일과 폴더를 암호화할 암호를 설정하십시오.",
  nl="Stel een wachtwoord in om het programma te beschermen tegen onbevoegde toegang en om geselecteerde "
     "bestanden en mappen te versleutelen.",
  pl="Ustaw hasło, aby chronić program przed nieuprawnionym dostępem i szyfrować wybrane pliki i foldery.",
  pt="Defina uma senha para proteger o programa contra acesso não autorizado e para criptografar os "
     "arquivos e pastas selecionados.",
  tr="Programı yetkisiz erişime karşı korumak ve seçilen dosya ve klasörleri şifrelemek için bir parola "
     "belirleyin.")
E("Password:",
  ar="كلمة المرور:", cn="密码:", cs="Heslo:", de="Passwort:", el="Κωδικός:", es="Contraseña:",
  fr="Mot de passe :", hu="Jelszó:", it="Password:", jp="パスワード:", kr="암호:", nl="Wachtwoord:",
  pl="Hasło:", pt="Senha:", tr="Parola:")
E("Confirm password",
  ar="تأكيد كلمة المرور", cn="确认密码", cs="Potvrzení hesla", de="Passwort bestätigen",
  el="Επιβεβαίωση κωδικού", es="Confirmar contraseña", fr="Confirmer le mot de passe",
  hu="Jelszó megerősítése", it="Conferma password", jp="パスワードの確認", kr="암호 확인",
  nl="Wachtwoord bevestigen", pl="Potwierdź hasło", pt="Confirmar senha", tr="Parolayı onaylayın")
E("Show password",
  ar="إظهار كلمة المرور", cn="显示密码", cs="Zobrazit heslo", de="Passwort anzeigen", el="Εμφάνιση κωδικού",
  es="Mostrar contraseña", fr="Afficher le mot de passe", hu="Jelszó megjelenítése", it="Mostra password",
  jp="パスワードを表示", kr="암호 표시", nl="Wachtwoord weergeven", pl="Pokaż hasło", pt="Mostrar senha",
  tr="Parolayı göster")
E("Set Password",
  ar="تعيين كلمة المرور", cn="设置密码", cs="Nastavení hesla", de="Passwort festlegen",
  el="Ορισμός κωδικού πρόσβασης", es="Establecer contraseña", fr="Définir le mot de passe",
  hu="Jelszó beállítása", it="Imposta password", jp="パスワードの設定", kr="암호 설정",
  nl="Wachtwoord instellen", pl="Ustaw hasło", pt="Definir senha", tr="Parola Belirle")
E("Invalid password.",
  ar="كلمة مرور غير صالحة.", cn="密码无效。", cs="Neplatné heslo.", de="Ungültiges Passwort.",
  el="Μη έγκυρος κωδικός πρόσβασης.", es="Contraseña no válida.", fr="Mot de passe non valide.",
  hu="Érvénytelen jelszó.", it="Password non valida.", jp="パスワードが正しくありません。",
  kr="암호가 올바르지 않습니다.", nl="Ongeldig wachtwoord.", pl="Nieprawidłowe hasło.",
  pt="Senha inválida.", tr="Geçersiz parola.")
E("Passwords do not match.",
  ar="كلمتا المرور غير متطابقتين.", cn="两次输入的密码不一致。", cs="Hesla se neshodují.",
  de="Die Passwörter stimmen nicht überein.", el="Οι κωδικοί πρόσβασης δεν ταιριάζουν.",
  es="Las contraseñas no coinciden.", fr="Les mots de passe ne correspondent pas.",
  hu="A jelszavak nem egyeznek.", it="Le password non corrispondono.", jp="パスワードが一致しません。",
  kr="암호가 일치하지 않습니다.", nl="De wachtwoorden komen niet overeen.", pl="Hasła nie są zgodne.",
  pt="As senhas não coincidem.", tr="Parolalar eşleşmiyor.")

# ---- Update check ----------------------------------------------------------------------------
E("This version of the software is out of date. You must download the current version %s to continue "
  "using the software.",
  ar="هذا الإصدار من البرنامج قديم. يجب تنزيل الإصدار الحالي %s لمتابعة استخدام البرنامج.",
  cn="此版本的软件已过时。您必须下载当前版本 %s 才能继续使用本软件。",
  cs="Tato verze softwaru je zastaralá. Chcete-li software dále používat, musíte stáhnout aktuální verzi %s.",
  de="Diese Version der Software ist veraltet. Sie müssen die aktuelle Version %s herunterladen, um die "
     "Software weiter zu verwenden.",
  el="Αυτή η έκδοση του λογισμικού είναι παρωχημένη. Πρέπει να κατεβάσετε την τρέχουσα έκδοση %s για να "
     "συνεχίσετε να χρησιμοποιείτε το λογισμικό.",
  es="Esta versión del software está obsoleta. Debe descargar la versión actual %s para seguir usando el "
     "software.",
  fr="Cette version du logiciel est obsolète. Vous devez télécharger la version actuelle %s pour continuer "
     "à utiliser le logiciel.",
  hu="A szoftver ezen verziója elavult. A szoftver további használatához le kell töltenie a jelenlegi %s "
     "verziót.",
  it="Questa versione del software non è aggiornata. Per continuare a usare il software è necessario "
     "scaricare la versione corrente %s.",
  jp="このバージョンのソフトウェアは古くなっています。ソフトウェアを引き続き使用するには、最新バージョン %s "
     "をダウンロードする必要があります。",
  kr="이 버전의 소프트웨어는 오래되었습니다. 소프트웨어를 계속 사용하려면 최신 버전 %s을(를) 다운로드해야 "
     "합니다.",
  nl="Deze versie van de software is verouderd. U moet de huidige versie %s downloaden om de software te "
     "blijven gebruiken.",
  pl="Ta wersja oprogramowania jest nieaktualna. Aby nadal korzystać z oprogramowania, musisz pobrać "
     "aktualną wersję %s.",
  pt="Esta versão do software está desatualizada. Você precisa baixar a versão atual %s para continuar "
     "usando o software.",
  tr="Yazılımın bu sürümü güncel değil. Yazılımı kullanmaya devam etmek için güncel %s sürümünü indirmeniz "
     "gerekir.")
E("What's new:",
  ar="ما الجديد:", cn="新增内容:", cs="Co je nového:", de="Neuerungen:", el="Τι νέο υπάρχει:", es="Novedades:",
  fr="Nouveautés :", hu="Újdonságok:", it="Novità:", jp="新機能:", kr="새로운 기능:", nl="Wat is er nieuw:",
  pl="Co nowego:", pt="Novidades:", tr="Yenilikler:")
E("The new version %s is available",
  ar="الإصدار الجديد %s متوفر", cn="新版本 %s 已发布", cs="Je k dispozici nová verze %s",
  de="Die neue Version %s ist verfügbar", el="Η νέα έκδοση %s είναι διαθέσιμη",
  es="La nueva versión %s está disponible", fr="La nouvelle version %s est disponible",
  hu="Elérhető az új %s verzió", it="È disponibile la nuova versione %s", jp="新しいバージョン %s が利用可能です",
  kr="새 버전 %s을(를) 사용할 수 있습니다", nl="De nieuwe versie %s is beschikbaar",
  pl="Dostępna jest nowa wersja %s", pt="A nova versão %s está disponível", tr="Yeni %s sürümü kullanıma sunuldu")
E("Update Now",
  ar="التحديث الآن", cn="立即更新", cs="Aktualizovat nyní", de="Jetzt aktualisieren", el="Ενημέρωση τώρα",
  es="Actualizar ahora", fr="Mettre à jour", hu="Frissítés most", it="Aggiorna ora", jp="今すぐ更新",
  kr="지금 업데이트", nl="Nu bijwerken", pl="Aktualizuj teraz", pt="Atualizar agora", tr="Şimdi Güncelle")
E("Skip",
  ar="تخطي", cn="跳过", cs="Přeskočit", de="Überspringen", el="Παράλειψη", es="Omitir", fr="Ignorer",
  hu="Kihagyás", it="Ignora", jp="スキップ", kr="건너뛰기", nl="Overslaan", pl="Pomiń", pt="Ignorar",
  tr="Atla")
E("Abort",
  ar="إيقاف", cn="中止", cs="Přerušit", de="Abbrechen", el="Ματαίωση", es="Anular", fr="Abandonner",
  hu="Megszakítás", it="Interrompi", jp="中止", kr="중단", nl="Afbreken", pl="Przerwij", pt="Anular",
  tr="Durdur")
E("Failed to download update. Please download manually on website.",
  ar="تعذر تنزيل التحديث. يرجى تنزيله يدويًا من الموقع.",
  cn="无法下载更新。请从网站手动下载。",
  cs="Aktualizaci se nepodařilo stáhnout. Stáhněte ji prosím ručně z webu.",
  de="Das Update konnte nicht heruntergeladen werden. Bitte laden Sie es manuell von der Website herunter.",
  el="Δεν ήταν δυνατή η λήψη της ενημέρωσης. Κάντε λήψη με μη αυτόματο τρόπο από τον ιστότοπο.",
  es="No se pudo descargar la actualización. Descárguela manualmente desde el sitio web.",
  fr="Impossible de télécharger la mise à jour. Veuillez la télécharger manuellement sur le site web.",
  hu="A frissítés letöltése sikertelen. Töltse le kézzel a weboldalról.",
  it="Impossibile scaricare l'aggiornamento. Scaricarlo manualmente dal sito web.",
  jp="更新をダウンロードできませんでした。Web サイトから手動でダウンロードしてください。",
  kr="업데이트를 다운로드하지 못했습니다. 웹 사이트에서 직접 다운로드하십시오.",
  nl="Kan de update niet downloaden. Download deze handmatig van de website.",
  pl="Nie można pobrać aktualizacji. Pobierz ją ręcznie z witryny.",
  pt="Não foi possível baixar a atualização. Baixe-a manualmente no site.",
  tr="Güncelleştirme indirilemedi. Lütfen web sitesinden elle indirin.")
E("Download is cancelled. Please download manually.",
  ar="تم إلغاء التنزيل. يرجى التنزيل يدويًا.", cn="下载已取消。请手动下载。",
  cs="Stahování bylo zrušeno. Stáhněte prosím aktualizaci ručně.",
  de="Der Download wurde abgebrochen. Bitte laden Sie manuell herunter.",
  el="Η λήψη ακυρώθηκε. Κάντε λήψη με μη αυτόματο τρόπο.", es="Se canceló la descarga. Descárguela manualmente.",
  fr="Le téléchargement a été annulé. Veuillez télécharger manuellement.",
  hu="A letöltés megszakadt. Töltse le kézzel.", it="Download annullato. Scaricare manualmente.",
  jp="ダウンロードは取り消されました。手動でダウンロードしてください。",
  kr="다운로드가 취소되었습니다. 직접 다운로드하십시오.", nl="Het downloaden is geannuleerd. Download handmatig.",
  pl="Pobieranie zostało anulowane. Pobierz ręcznie.", pt="O download foi cancelado. Baixe manualmente.",
  tr="İndirme iptal edildi. Lütfen elle indirin.")
E("Cannot find downloaded file.",
  ar="تعذر العثور على الملف الذي تم تنزيله.", cn="找不到已下载的文件。", cs="Stažený soubor nebyl nalezen.",
  de="Die heruntergeladene Datei wurde nicht gefunden.", el="Δεν είναι δυνατή η εύρεση του αρχείου που λήφθηκε.",
  es="No se encuentra el archivo descargado.", fr="Le fichier téléchargé est introuvable.",
  hu="A letöltött fájl nem található.", it="Impossibile trovare il file scaricato.",
  jp="ダウンロードしたファイルが見つかりません。", kr="다운로드한 파일을 찾을 수 없습니다.",
  nl="Kan het gedownloade bestand niet vinden.", pl="Nie można znaleźć pobranego pliku.",
  pt="Não foi possível encontrar o arquivo baixado.", tr="İndirilen dosya bulunamadı.")

# Texts the program compares with each other after translating them: they must stay distinct.
DISTINCT = [("Visible", "Encrypted & Hidden"), ("Abort", "Skip"), ("Abort", "Exit")]

PLACEHOLDER = re.compile(r"%[-+ 0#]*\d*(?:\.\d+)?[a-zA-Z%]")


def ampersands(text):
    doubled = text.count("&&")
    single = text.replace("&&", "").count("&")
    return doubled, single


def check():
    problems = []
    seen = set()
    for en, tr in ENTRIES:
        if en in seen:
            problems.append("duplicate English text: %r" % en)
        seen.add(en)
        missing = [lang for lang in LANGS if not tr.get(lang)]
        extra = [lang for lang in tr if lang not in LANGS]
        if missing or extra:
            problems.append("%r: missing %s, unknown %s" % (en, missing, extra))
        for lang, text in tr.items():
            if "\r" in text or "\n" in text:
                problems.append("%r [%s]: line break" % (en, lang))
            if PLACEHOLDER.findall(text) != PLACEHOLDER.findall(en):
                problems.append("%r [%s]: placeholders differ" % (en, lang))
            if ampersands(text) != ampersands(en):
                problems.append("%r [%s]: ampersands differ" % (en, lang))
            if en.endswith(" ") != text.endswith(" ") or en.startswith(" ") != text.startswith(" "):
                problems.append("%r [%s]: leading/trailing blank differs" % (en, lang))
    table = {en: tr for en, tr in ENTRIES}
    for a, b in DISTINCT:
        for lang in LANGS:
            if table[a][lang].lower() == table[b][lang].lower():
                problems.append("%r and %r translate alike in %s" % (a, b, lang))
    return problems


def main():
    problems = check()
    if problems:
        for p in problems:
            print(p, file=sys.stderr)
        return 1
    columns = ["en"] + LANGS
    lines = [str(len(columns))]
    lines += [NAMES[c] for c in columns]
    lines += columns
    for en, tr in ENTRIES:
        lines.append(en)
        lines += [tr[lang] for lang in LANGS]
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    target = os.path.join(root, "src", "app", "transl.dt")
    with open(target, "w", encoding="utf-8", newline="\n") as out:
        out.write("\n".join(lines) + "\n")
    print("%s: %d languages, %d texts" % (target, len(columns), len(ENTRIES)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
