#include "server/pages.h"

namespace {

// Reading window.external tells the hosting window that the page has
// loaded, which stops its periodic reload; plain browsers ignore it.
std::string Wrap(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html>\n"
         "<html lang=\"es\">\n"
         "<head>\n"
         "<meta charset=\"utf-8\">\n"
         "<title>" +
         title +
         "</title>\n"
         "<style>body{margin:0;padding:16px;font-family:Arial,sans-serif;"
         "background:#10202c;color:#f0f0f0}a{color:#ffcc33}</style>\n"
         "</head>\n"
         "<body>\n" +
         body +
         "<script>try{var host=window.external;}catch(e){}</script>\n"
         "</body>\n"
         "</html>\n";
}

}  // namespace

std::string InstallerPage(int n) {
  switch (n) {
    case 1:
      return Wrap("Tovi - Bienvenido",
                  "<h1>Bienvenido a Tovi</h1>\n"
                  "<p>Este programa descarga el instalador del juego.</p>\n"
                  "<p><a href=\"app:100\">Comenzar la descarga</a></p>\n");
    case 2:
      return Wrap("Tovi - El mundo",
                  "<h1>Un mundo por descubrir</h1>\n"
                  "<p>Explora ciudades, bosques y mazmorras junto a tus amigos.</p>\n");
    case 3:
      return Wrap("Tovi - Comunidad",
                  "<h1>Una gran comunidad</h1>\n"
                  "<p>Forma un clan, comercia y participa en los eventos semanales.</p>\n");
    case 4:
      return Wrap("Tovi - Casi listo",
                  "<h1>Ya casi terminamos</h1>\n"
                  "<p>Cuando la descarga termine, el instalador se abrirá solo.</p>\n");
    default:
      return {};
  }
}

std::string ForumPage() {
  return Wrap("Tovi - Foro de ayuda",
              "<h1>Foro de ayuda de Tovi</h1>\n"
              "<p>¿Problemas con la descarga? Cuéntanos qué ocurre y te ayudaremos.</p>\n"
              "<ul>\n"
              "<li>La descarga se detuvo: usa el acceso directo del escritorio para "
              "continuarla.</li>\n"
              "<li>Falta espacio: el juego necesita al menos 0,5 GB libres.</li>\n"
              "</ul>\n");
}
