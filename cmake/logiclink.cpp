// The program of a logic-only build: it links every logic library whole, so
// a symbol that only Qt Gui or Widgets could provide stops the link.
int main()
{
    return 0;
}
