# bash completion for wakeward
_wakeward() {
    local cur prev command word
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    command=
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        case $word in
            start|stop|status|run|doctor) command=$word; break ;;
        esac
    done
    case $prev in
        --minutes|--until|--profile) return ;;
        --while-running) COMPREPLY=($(compgen -c -- "$cur")); return ;;
    esac
    case $command in
        "") COMPREPLY=($(compgen -W "start stop status run doctor --background --headless --help --version" -- "$cur")) ;;
        start) COMPREPLY=($(compgen -W "--minutes --until --while-running --until-stopped --display --mains-only --profile" -- "$cur")) ;;
        status) COMPREPLY=($(compgen -W "--json --watch" -- "$cur")) ;;
        run)
            # After the command's name, complete as for that command.
            local i
            for ((i = 1; i < COMP_CWORD; i++)); do
                if [[ ${COMP_WORDS[i]} == -- ]]; then
                    _command_offset $((i + 1))
                    return
                fi
            done
            COMPREPLY=($(compgen -W "--display --" -- "$cur")) ;;
    esac
}
complete -F _wakeward wakeward
